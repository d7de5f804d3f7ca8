#pragma once

#include <exception>
#include <string>

namespace ZuzizavAdiduDazorud {

// The errors of the capture side; description() is a fixed prefix and the carried message.
class EtherCaptureError : public std::exception {
public:
    enum class Case {
        pcap_open_live_failed,
        pcap_lookupnet_failed,
        pcap_lookupdev_failed,
        pcap_compile_failed,
        pcap_setfilter_failed,
        unsupported_datalink,
        genericError,
        pcap_max_captures_exceeded,
    };

    static EtherCaptureError pcap_open_live_failed(std::string message) { return {Case::pcap_open_live_failed, std::move(message)}; }
    static EtherCaptureError pcap_lookupnet_failed(std::string message) { return {Case::pcap_lookupnet_failed, std::move(message)}; }
    static EtherCaptureError pcap_lookupdev_failed(std::string message) { return {Case::pcap_lookupdev_failed, std::move(message)}; }
    static EtherCaptureError pcap_compile_failed(std::string message) { return {Case::pcap_compile_failed, std::move(message)}; }
    static EtherCaptureError pcap_setfilter_failed(std::string message) { return {Case::pcap_setfilter_failed, std::move(message)}; }
    static EtherCaptureError unsupported_datalink(std::string message) { return {Case::unsupported_datalink, std::move(message)}; }
    static EtherCaptureError genericError(std::string message) { return {Case::genericError, std::move(message)}; }
    static EtherCaptureError pcap_max_captures_exceeded() { return {Case::pcap_max_captures_exceeded, {}}; }

    Case errorCase() const { return case_; }
    const std::string& message() const { return message_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    EtherCaptureError(Case errorCase, std::string message);

    Case case_;
    std::string message_;
    std::string description_;
};

}  // namespace ZuzizavAdiduDazorud
