#include "uLanx1Instance.h"

TLanx1 *Lanx1 = nullptr;
TPollSet PollSet;

void CreateLanx1() {
    DestroyLanx1();
    Lanx1 = new TLanx1;
    Lanx1->Name = QStringLiteral("Lanx1");
    Lanx1->SetErrorMax(1);
    Lanx1->DeviceDescription.Title = QStringLiteral("КЕЛМ352И");
    Lanx1->DeviceDescription.Hint = QStringLiteral("КЕЛМ352И");
}

void DestroyLanx1() {
    delete Lanx1;
    Lanx1 = nullptr;
}

void TPollSet::Include(int Kind) {
    if (Kind >= 0 && Kind < 32)
        FBits.fetch_or(1u << Kind);
}

void TPollSet::Exclude(int Kind) {
    if (Kind >= 0 && Kind < 32)
        FBits.fetch_and(~(1u << Kind));
}
