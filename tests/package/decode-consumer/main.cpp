// Decodes a frame given in hex and prints its one-line text.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Version.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode-consumer HEX\n");
        return 2;
    }
    auto bytes = ZuzizavAdiduDazorud::makeData(argv[1]);
    if (!bytes) return 1;
    const ZuzizavAdiduDazorud::Frame frame(*bytes, {}, static_cast<std::int64_t>(bytes->count()), 1);
    std::printf("%s\n", frame.description().c_str());
    return 0;
}
