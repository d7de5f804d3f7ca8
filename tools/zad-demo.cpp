// Shows what the packet library makes of its sample frames, and the capture devices it sees.
#include "DataStructure/Frame.h"
#include "EtherCapture.h"

#include <cstdio>

using ZuzizavAdiduDazorud::EtherCapture;
using ZuzizavAdiduDazorud::Frame;

int main() {
    std::printf("libpcap: %s\n\n", EtherCapture::pcapLibraryVersion().c_str());
    for (const Frame* frame : {&Frame::sampleTcpFrame(), &Frame::sampleMdnsFrame(), &Frame::sampleIcmpFrame(),
                               &Frame::sampleIcmp6Frame()}) {
        std::printf("%s\n%s\n%s\n%s\n", frame->description().c_str(), frame->verboseDescription().c_str(),
                    frame->layer3.verboseDescription().c_str(), frame->hexdump().c_str());
    }
    if (auto names = EtherCapture::listInterfaces()) {
        std::printf("capture devices:");
        for (const auto& name : *names) std::printf(" %s", name.c_str());
        std::printf("\n");
    }
    return 0;
}
