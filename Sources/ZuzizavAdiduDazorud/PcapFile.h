#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/DataStructure/LinkType.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>

#include <cstdint>
#include <vector>

namespace ZuzizavAdiduDazorud {

// The frames as a classic libpcap capture file (microsecond time stamps, the byte order of this
// machine), with the given link type; empty for no frames. Throws DecodeError for a
// frame whose date or length such a file cannot hold.
ByteSlice makePcapFile(const std::vector<Frame>& frames, LinkType linkType);
// The same with link type 1 (Ethernet).
ByteSlice makePcapFile(const std::vector<Frame>& frames);

}  // namespace ZuzizavAdiduDazorud
