#include "uLinkState.h"

#include "uListeners.h"

namespace {

TListenerList<TLinkState> &Listeners() {
    static TListenerList<TLinkState> Instance;
    return Instance;
}

} // namespace

int AddLinkListener(TLinkListener Listener) {
    return Listeners().Add(std::move(Listener));
}

void RemoveLinkListener(int Id) {
    Listeners().Remove(Id);
}

void ReportLinkState(const TLinkState &State) {
    Listeners().Notify(State);
}
