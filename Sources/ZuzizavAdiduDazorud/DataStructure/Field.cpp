#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

namespace ZuzizavAdiduDazorud {

namespace {

// The case names, in declaration order.
constexpr std::string_view fieldNames[] = {
    "srcmac", "dstmac", "ethertype", "ieeeLength", "ieeeDsap", "ieeeSsap", "ieeeControl", "snapOrg",
    "snapType", "etherType", "padding", "hardwareType", "protocolType", "hardwareSize", "protocolSize",
    "operation", "senderEthernet", "senderIp", "targetEthernet", "targetIp", "protocolId", "bpduVersion",
    "type", "flags", "rootId", "rootCost", "bridgeId", "portId", "age", "maxAge", "helloTime", "forwardDelay",
    "v1Length", "code", "checksum", "payload", "sourceIP", "destinationIP", "version", "ihl", "dscp", "ecn",
    "totalLength", "identification", "fragmentOffset", "ttl", "ipProtocol", "headerChecksum", "options",
    "trafficClass", "flowLabel", "payloadLength", "nextHeader", "hopLimit", "sourcePort", "destinationPort",
    "sequenceNumber", "acknowledgementNumber", "dataOffset", "window", "urgentPointer", "length", "sequence",
    "identifier", "mask", "pointer", "originate", "receive", "transmit", "address", "target", "destination",
    "maxResponseTime", "queryIntervalCode", "numberOfSources", "sources", "packetType", "linkHardwareType",
    "linkAddressLength", "linkAddress", "linkProtocol", "interfaceIndex", "addressFamily", "tpid",
    "priorityCode", "dropEligible", "vlanId", "headerLength", "routingType", "segmentsLeft",
    "numberOfGroupRecords", "groupRecords",
};
static_assert(std::size(fieldNames) == fieldCount);

}  // namespace

std::string_view toString(Field field) {
    const auto i = static_cast<std::size_t>(field);
    return i < fieldCount ? fieldNames[i] : "unknown";
}

}  // namespace ZuzizavAdiduDazorud
