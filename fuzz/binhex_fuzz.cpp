// The BinHex decoder: the run-length expansion, the header and the fork
// CRCs. The rest of the input after the first byte is the stream after the
// opening ":"; it is decoded in one piece, in pieces of the size the first
// byte chooses, and from a file descriptor, and all three must agree. A
// fork never gets more bytes than its header states, and the peeks and the
// header name stay within their buffers.
#include "fuzz_support.h"

#include "codec/binhex.h"
#include "io/buf_file.h"

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using namespace zarvex;

struct Decoded
{
    int result = 0;
    std::string bytes;
    std::uint64_t written = 0;
    BinHexHeader header;
    bool headerRead = false;
};

template <typename Run>
Decoded Collect(const std::string& path, Run run)
{
    Decoded d;
    {
        CBufFile out;
        if (!out.Open(path, CBufFile::modeWrite | CBufFile::modeCreate | CBufFile::typeBinary)) std::abort();
        run(out, d);
        out.Close();
    }
    d.bytes = fuzz::ReadBytes(path);
    return d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::size_t piece = 1 + (data[0] & 63);
    const char* text = reinterpret_cast<const char*>(data + 1);
    const std::size_t len = size - 1;
    const std::string folder = fuzz::ScratchFolder();

    const auto streamed = [&](std::size_t step) {
        return [&, step](CBufFile& out, Decoded& d) {
            BinHexDecoder decoder(&out);
            unsigned char sample[32];
            decoder.SetSample(sample, sizeof sample);
            for (std::size_t at = 0; at < len; at += step) decoder.Feed(text + at, std::min(step, len - at));
            d.result = decoder.Finish();
            d.written = decoder.Written();
            d.headerRead = decoder.HeaderRead();
            d.header = decoder.Header();
            if (decoder.SampleFill() < 0 || decoder.SampleFill() > 32) std::abort();
        };
    };
    const Decoded whole = Collect(folder + "/hqx-a", streamed(len ? len : 1));
    const Decoded pieces = Collect(folder + "/hqx-b", streamed(piece));
    if (whole.result != pieces.result || whole.bytes != pieces.bytes) std::abort();
    if (whole.written != whole.bytes.size()) std::abort();
    if (whole.headerRead && whole.written > std::max(whole.header.dataLength, whole.header.resourceLength))
        std::abort();
    if (whole.header.name.size() > 63) std::abort();

    // From a descriptor: the file holds the opening ":" and the stream.
    const std::string input = folder + "/hqx-in";
    std::string file = ":" + std::string(text, len);
    fuzz::WriteBytes(input, reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    const Decoded fromFile = Collect(folder + "/hqx-c", [&](CBufFile& out, Decoded& d) {
        const int fd = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) std::abort();
        d.result = DecodeBinHexFile(fd, out);
        ::close(fd);
    });
    if (fromFile.result != whole.result || fromFile.bytes != whole.bytes) std::abort();

    unsigned char peek[64];
    const int peeked = PeekDecodeBinHex(file.c_str(), static_cast<int>(std::min<std::size_t>(file.size(), 4096)), peek,
                                        static_cast<int>(piece));
    if (peeked < 0 || peeked > static_cast<int>(piece)) std::abort();
    std::string name = file.substr(0, 4096);
    BinHexHeaderName(name);
    return 0;
}
