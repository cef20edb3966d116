#pragma once
// A list of callbacks that other threads add to and remove from while a
// notifier calls them. Removal waits for a call in progress (the list's lock
// is held around the calls), so that after it the callback is never called.
#include <algorithm>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

template <class TArg> class TListenerList {
public:
    using TListener = std::function<void(const TArg &)>;

    int Add(TListener Listener) {
        std::lock_guard Guard(FLock);
        const int Id = FNextId++;
        FList.emplace_back(Id, std::move(Listener));
        return Id;
    }
    void Remove(int Id) {
        std::lock_guard Guard(FLock);
        FList.erase(std::remove_if(FList.begin(), FList.end(), [Id](const auto &E) { return E.first == Id; }),
                    FList.end());
    }
    void Notify(const TArg &Arg) {
        std::lock_guard Guard(FLock);
        for (const auto &E : FList)
            if (E.second)
                E.second(Arg);
    }

private:
    std::mutex FLock;
    int FNextId = 1;
    std::vector<std::pair<int, TListener>> FList;
};
