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
