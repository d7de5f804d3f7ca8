#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Arp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Bpdu.h>
#include <ZuzizavAdiduDazorud/DataStructure/Cdp.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv6.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer.h>
#include <ZuzizavAdiduDazorud/DataStructure/Lldp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Unknown.h>

namespace ZuzizavAdiduDazorud {

// The decoded payload of a frame, by ethertype, LLC or SNAP.
using Layer3 = Layer<KeyKinds<EtherTypeKey, LlcKey, SnapKey>, IPv4, IPv6, Arp, Bpdu, Cdp, Lldp, Unknown>;

}  // namespace ZuzizavAdiduDazorud
