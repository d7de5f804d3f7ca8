#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

namespace ZuzizavAdiduDazorud {

std::string_view toString(Field field) {
    switch (field) {
        case Field::srcmac: return "srcmac";
        case Field::dstmac: return "dstmac";
        case Field::ethertype: return "ethertype";
        case Field::ieeeLength: return "ieeeLength";
        case Field::ieeeDsap: return "ieeeDsap";
        case Field::ieeeSsap: return "ieeeSsap";
        case Field::ieeeControl: return "ieeeControl";
        case Field::snapOrg: return "snapOrg";
        case Field::snapType: return "snapType";
        case Field::etherType: return "etherType";
        case Field::padding: return "padding";
        case Field::hardwareType: return "hardwareType";
        case Field::protocolType: return "protocolType";
        case Field::hardwareSize: return "hardwareSize";
        case Field::protocolSize: return "protocolSize";
        case Field::operation: return "operation";
        case Field::senderEthernet: return "senderEthernet";
        case Field::senderIp: return "senderIp";
        case Field::targetEthernet: return "targetEthernet";
        case Field::targetIp: return "targetIp";
        case Field::protocolId: return "protocolId";
        case Field::bpduVersion: return "bpduVersion";
        case Field::type: return "type";
        case Field::flags: return "flags";
        case Field::rootId: return "rootId";
        case Field::rootCost: return "rootCost";
        case Field::bridgeId: return "bridgeId";
        case Field::portId: return "portId";
        case Field::age: return "age";
        case Field::maxAge: return "maxAge";
        case Field::helloTime: return "helloTime";
        case Field::forwardDelay: return "forwardDelay";
        case Field::v1Length: return "v1Length";
        case Field::code: return "code";
        case Field::checksum: return "checksum";
        case Field::payload: return "payload";
        case Field::sourceIP: return "sourceIP";
        case Field::destinationIP: return "destinationIP";
        case Field::version: return "version";
        case Field::ihl: return "ihl";
        case Field::dscp: return "dscp";
        case Field::ecn: return "ecn";
        case Field::totalLength: return "totalLength";
        case Field::identification: return "identification";
        case Field::fragmentOffset: return "fragmentOffset";
        case Field::ttl: return "ttl";
        case Field::ipProtocol: return "ipProtocol";
        case Field::headerChecksum: return "headerChecksum";
        case Field::options: return "options";
        case Field::trafficClass: return "trafficClass";
        case Field::flowLabel: return "flowLabel";
        case Field::payloadLength: return "payloadLength";
        case Field::nextHeader: return "nextHeader";
        case Field::hopLimit: return "hopLimit";
        case Field::sourcePort: return "sourcePort";
        case Field::destinationPort: return "destinationPort";
        case Field::sequenceNumber: return "sequenceNumber";
        case Field::acknowledgementNumber: return "acknowledgementNumber";
        case Field::dataOffset: return "dataOffset";
        case Field::window: return "window";
        case Field::urgentPointer: return "urgentPointer";
        case Field::length: return "length";
        case Field::sequence: return "sequence";
        case Field::identifier: return "identifier";
        case Field::mask: return "mask";
        case Field::pointer: return "pointer";
        case Field::originate: return "originate";
        case Field::receive: return "receive";
        case Field::transmit: return "transmit";
        case Field::address: return "address";
        case Field::target: return "target";
        case Field::destination: return "destination";
        case Field::maxResponseTime: return "maxResponseTime";
        case Field::queryIntervalCode: return "queryIntervalCode";
        case Field::numberOfSources: return "numberOfSources";
        case Field::sources: return "sources";
    }
    return "unknown";
}

}  // namespace ZuzizavAdiduDazorud
