// Creates the registered standard provider by its ProgID and prints the text
// and severity of a few sample log-record payloads.
#include "IQuelMessageProvider.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class Payload {
public:
    Payload& U8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Payload& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Payload& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Payload& Text(const std::string& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return U8(0);
    }
    Payload& Tcp(uint32_t address, uint16_t port) {
        return U32(14).U32(0x00060102).U32(address).U16(port);
    }
    Payload& Pipe(const std::string& name) {
        return U32(static_cast<uint32_t>(12 + name.size() + 1)).U32(0x00060141).U32(0).Text(name);
    }
    void* data() { return bytes_.empty() ? nullptr : bytes_.data(); }
    long size() const { return static_cast<long>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

struct Sample {
    long code;
    Payload payload;
};

const char* SeverityTag(QUEL_MESSAGE_TYPE type) {
    switch (type) {
    case QUEL_MSG_INFO:
        return "INFO   ";
    case QUEL_MSG_WARNING:
        return "WARNING";
    case QUEL_MSG_ERROR:
        return "ERROR  ";
    }
    return "?      ";
}

std::string ToAnsi(BSTR text) {
    int length = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)),
                                     nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), &ansi[0],
                            length, nullptr, nullptr);
    return ansi;
}

int PrintSamples(IQuelMessageProvider* provider) {
    const uint32_t loopback = 0x7F000001;
    const std::string logPipe = "\\\\.\\pipe\\vororado_log_server";
    std::vector<Sample> samples;
    samples.push_back({1, Payload()});
    samples.push_back({3, Payload().U32(0).Tcp(loopback, 50001)});
    samples.push_back({3, Payload().U32(0xC0000236).Tcp(loopback, 50001)});
    samples.push_back({5, Payload().U32(2).Tcp(loopback, 50001)});
    samples.push_back({6, Payload().U32(0).Pipe(logPipe)});
    samples.push_back({8, Payload().U32(1).Pipe(logPipe)});
    samples.push_back({12, Payload().Text("localhost")});
    samples.push_back({13, Payload().U8(0x00).U8(0x11).U8(0x22).U8(0x33).U8(0x44).U8(0x55)});
    samples.push_back({14, Payload().U32(0).U32(loopback)});
    samples.push_back({9, Payload()});

    long from = 0, to = 0;
    HRESULT hr = provider->GetMessageRange(&from, &to);
    if (FAILED(hr)) {
        std::printf("GetMessageRange failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    std::printf("Quelstd.StdMsgProvider serves codes %ld to %ld\n", from, to);
    for (Sample& sample : samples) {
        QUEL_MESSAGE_TYPE type = QUEL_MSG_INFO;
        BSTR text = nullptr;
        hr = provider->GetMessage(sample.code, sample.payload.data(), sample.payload.size(),
                                  &type, &text);
        if (SUCCEEDED(hr))
            std::printf("%2ld %s %s\n", sample.code, SeverityTag(type), ToAnsi(text).c_str());
        else
            std::printf("%2ld unknown msg (0x%08lx)\n", sample.code, static_cast<unsigned long>(hr));
        SysFreeString(text);
    }
    return 0;
}

}  // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "COM cannot be initialised\n");
        return 1;
    }
    int status = 1;
    CLSID clsid;
    IQuelMessageProvider* provider = nullptr;
    HRESULT hr = CLSIDFromProgID(QUELSTD_PROGID, &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IQuelMessageProvider,
                              reinterpret_cast<void**>(&provider));
    if (SUCCEEDED(hr)) {
        status = PrintSamples(provider);
        provider->Release();
    } else {
        std::fprintf(stderr, "Quelstd.StdMsgProvider cannot be created (0x%08lx); is quelstd.dll registered?\n",
                     static_cast<unsigned long>(hr));
    }
    CoUninitialize();
    return status;
}
