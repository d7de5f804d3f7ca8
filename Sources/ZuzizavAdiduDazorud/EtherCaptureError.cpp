#include <ZuzizavAdiduDazorud/EtherCaptureError.h>

namespace ZuzizavAdiduDazorud {

namespace {
const char* prefix(EtherCaptureError::Case errorCase) {
    using Case = EtherCaptureError::Case;
    switch (errorCase) {
        case Case::pcap_open_live_failed: return "pcap_open_live failed with error ";
        case Case::pcap_lookupnet_failed: return "pcap_lookupnet failed with error ";
        case Case::pcap_lookupdev_failed: return "pcap_lookupdev failed with error ";
        case Case::pcap_compile_failed: return "pcap_compile failed with error ";
        case Case::pcap_setfilter_failed: return "pcap_setupfilter failed with error ";
        case Case::unsupported_datalink: return "unsupported pcap datalink type: ";
        case Case::genericError: return "unexpected error ";
        case Case::pcap_max_captures_exceeded: return "pcap max captures exceeded";
    }
    return "";
}
}  // namespace

EtherCaptureError::EtherCaptureError(Case errorCase, std::string message)
    : case_(errorCase), message_(std::move(message)), description_(prefix(errorCase) + message_) {}

}  // namespace ZuzizavAdiduDazorud
