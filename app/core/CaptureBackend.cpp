#include "CaptureBackend.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include <pcap/pcap.h>

#include <fstream>
#include <limits>
#include <sstream>

namespace Tidemark {

namespace {

class EtherCaptureSession final : public CaptureSession {
public:
    explicit EtherCaptureSession(std::shared_ptr<ZuzizavAdiduDazorud::EtherCapture> capture)
        : capture_(std::move(capture)) {}
    void cancel() override { capture_->cancel(); }

private:
    std::shared_ptr<ZuzizavAdiduDazorud::EtherCapture> capture_;
};

}  // namespace

CaptureFactory etherCaptureFactory() {
    return [](const CaptureParameters& p, FrameCallback callback) -> std::shared_ptr<CaptureSession> {
        return std::make_shared<EtherCaptureSession>(ZuzizavAdiduDazorud::EtherCapture::make(
            p.interface, p.count, p.command, p.snaplen, p.promiscuous, std::move(callback)));
    };
}

std::optional<std::string> chooseCaptureInterface(const std::string& routeTable,
                                                  const std::vector<CaptureDevice>& devices) {
    auto isDevice = [&](const std::string& name) {
        for (const auto& d : devices)
            if (d.name == name) return true;
        return false;
    };
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask ...; the default route has
    // destination and mask 00000000.
    std::istringstream lines(routeTable);
    std::string line;
    std::getline(lines, line);  // header
    std::optional<std::string> best;
    long bestMetric = std::numeric_limits<long>::max();
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refCnt, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refCnt >> use >> metric >> mask)) continue;
        if (destination != "00000000" || mask != "00000000") continue;
        long m = 0;
        try {
            m = std::stol(metric);
        } catch (...) {
            continue;
        }
        if (m < bestMetric && isDevice(iface)) {
            best = iface;
            bestMetric = m;
        }
    }
    if (best) return best;
    for (const auto& d : devices) {
        if (d.up && d.running && !d.loopback && d.name.find("en") != std::string::npos) return d.name;
    }
    return std::nullopt;
}

InterfaceProbe probeCaptureInterface() {
    InterfaceProbe probe;
    std::vector<CaptureDevice> devices;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* all = nullptr;
    if (pcap_findalldevs(&all, errbuf) == -1) {
        probe.error = std::string("pcap_findalldevs: ") + errbuf;
    } else {
        for (pcap_if_t* d = all; d; d = d->next) {
            if (!d->name) continue;
            devices.push_back({d->name, (d->flags & PCAP_IF_UP) != 0, (d->flags & PCAP_IF_RUNNING) != 0,
                               (d->flags & PCAP_IF_LOOPBACK) != 0});
        }
        if (all) pcap_freealldevs(all);
    }
    std::ifstream routes("/proc/net/route");
    std::string table;
    if (routes) {
        std::ostringstream text;
        text << routes.rdbuf();
        table = text.str();
    } else if (!probe.error) {
        probe.error = "cannot read /proc/net/route";
    }
    probe.name = chooseCaptureInterface(table, devices);
    return probe;
}

}  // namespace Tidemark
