#include "uLanx1Windows.h"

#include "fLanx1.h"
#include "fLanx1Par.h"
#include "uWindows.h"

void RegisterLanx1Windows() {
    TWindowHooks &Hooks = WindowHooks();
    Hooks.ShowLanx1 = [] { ShowLanx1(); };
    Hooks.ShowLanx1Par = [] { ShowLanx1Par(); };
    Hooks.Refresh.push_back([] { RefreshLanx1(); });
    Hooks.Refresh.push_back([] { RefreshLanx1Par(); });
}

void DestroyLanx1Windows() {
    // The destructors clear the global references.
    delete FormLanx1;
    delete FormLanx1Par;
}
