// Any bytes as the reply to any request kind: the device object must take it
// without crashing, whatever it records.
#include "Lanx1.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
    if (Size < 2)
        return 0;
    static TLanx1 *Device = new TLanx1; // shared across runs, as the one device object is
    Device->SetErrorMax(Data[0] & 3);
    Device->SetTableBlock(static_cast<std::uint8_t>(Data[1] >> 6));
    try {
        Device->BuildRequest(static_cast<std::uint8_t>(Data[1] & 31));
    } catch (const ERequestError &) {
        // the kind is stored all the same, and the reply is parsed against it
    }
    Device->ParseReply(QByteArray(reinterpret_cast<const char *>(Data + 2), static_cast<qsizetype>(Size - 2)));
    return 0;
}
