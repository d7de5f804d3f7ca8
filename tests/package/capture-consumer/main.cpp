// Lists the capture devices, one per line.
#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include <cstdio>

int main() {
    auto names = ZuzizavAdiduDazorud::EtherCapture::listInterfaces();
    if (!names) return 1;
    for (const auto& name : *names) std::printf("%s\n", name.c_str());
    return 0;
}
