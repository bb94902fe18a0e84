// Creates the registered standard provider by its ProgID and prints the text
// and severity of a few sample log-record payloads.
#include "ByteRecord.h"
#include "IQuelMessageProvider.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using quelstd_test::Bytes;

struct Sample {
    long code;
    Bytes payload;
};

const char* SeverityTag(QUEL_MESSAGE_TYPE type)
{
    switch (type) {
    case QUEL_MSG_INFO: return "INFO   ";
    case QUEL_MSG_WARNING: return "WARNING";
    case QUEL_MSG_ERROR: return "ERROR  ";
    }
    return "?      ";
}

std::string ToAnsi(BSTR text)
{
    int length =
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), &ansi[0], length, nullptr, nullptr);
    return ansi;
}

int PrintSamples(IQuelMessageProvider* provider)
{
    const uint32_t loopback = 0x7F000001;
    const std::string logPipe = "\\\\.\\pipe\\vororado_log_server";
    std::vector<Sample> samples;
    const Bytes tcp = quelstd_test::Ipv4Record(quelstd_test::kTcp, loopback, 50001);
    const Bytes pipe = quelstd_test::AnsiPipeRecord(logPipe);
    samples.push_back({1, Bytes()});
    samples.push_back({3, Bytes().U32(0).Append(tcp)});
    samples.push_back({3, Bytes().U32(0xC0000236).Append(tcp)});
    samples.push_back({5, Bytes().U32(2).Append(tcp)});
    samples.push_back({6, Bytes().U32(0).Append(pipe)});
    samples.push_back({8, Bytes().U32(1).Append(pipe)});
    samples.push_back({12, Bytes().Ansi("localhost").U8(0)});
    samples.push_back({13, Bytes().U8(0x00).U8(0x11).U8(0x22).U8(0x33).U8(0x44).U8(0x55)});
    samples.push_back({14, Bytes().U32(0).U32(loopback)});
    samples.push_back({9, Bytes()});

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
        hr = provider->GetMessage(sample.code, const_cast<uint8_t*>(sample.payload.data()), sample.payload.size(),
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

int main()
{
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "COM cannot be initialised\n");
        return 1;
    }
    int status = 1;
    CLSID clsid;
    IQuelMessageProvider* provider = nullptr;
    HRESULT hr = CLSIDFromProgID(QUELSTD_PROGID, &clsid);
    if (SUCCEEDED(hr))
        hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IQuelMessageProvider, reinterpret_cast<void**>(&provider));
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
