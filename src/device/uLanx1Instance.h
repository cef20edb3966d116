#pragma once
// The one device object of the process and the request kinds polling sends.
#include "Lanx1.h"

#include <atomic>
#include <cstdint>

// Reached by every window and by the polling engine; empty before start-up
// created it and after shut-down freed it.
extern TLanx1 *Lanx1;

// Creates the device object as the program runs it: name "Lanx1", ErrorMax 1,
// the device description titled "КЕЛМ352И".
void CreateLanx1();
void DestroyLanx1();

// The request kinds (0..31) each poll cycle performs; empty at start. Written
// on the user-interface thread, read by the polling thread.
class TPollSet {
public:
    bool Contains(int Kind) const { return Kind >= 0 && Kind < 32 && (FBits.load() >> Kind) & 1u; }
    void Include(int Kind);
    void Exclude(int Kind);
    void Clear() { FBits.store(0); }
    std::uint32_t Bits() const { return FBits.load(); }
    void SetBits(std::uint32_t Bits) { FBits.store(Bits); }
    bool Empty() const { return FBits.load() == 0; }

private:
    std::atomic<std::uint32_t> FBits{0};
};

extern TPollSet PollSet;

// ---- parameter files: PAR/<plant number>.ini beside the program, section "Lanx1"

// The PAR folder beside the program (an existing folder of that name in any
// letter case is taken as it is).
QString ParametersFolder();
// PAR/<plant number>.ini for the device's current plant number.
QString ParametersFileName(const TLanx1 &Device);
// Reads the eighteen keys into the device's copy; missing or unreadable keys
// give their defaults. Nothing is sent to the device.
void LoadParametersFromFile(TLanx1 &Device, const QString &Path);
// Writes the eighteen keys in one piece: on failure the file stays as it was.
// Throws EIniFileError.
void SaveParametersToFile(TLanx1 &Device, const QString &Path);

enum class TSaveParametersResult { Saved, Kept, Failed };
// Saves into ParametersFileName, asking first whether an existing file is to
// be replaced (No keeps it). Path receives the file's path, Error the reason
// of a failure.
TSaveParametersResult SaveParameters(TLanx1 &Device, QString *Path = nullptr, QString *Error = nullptr);
