// The registered Kelmo.CKelmo as the figures call it: late bound, the way a script does, in a
// single-threaded apartment; and the timing loops the figures share.
#pragma once

#include "common.h"

#include "platform/win32/automation.h"
#include "platform/win32/failures.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace kelmo::bench {

// A single-threaded COM apartment on this thread while it lives, as in a script host.
class Apartment {
public:
    Apartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
        win32::throwIfFailed(result_, L"CoInitializeEx");
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};

// The component with its defaults, and the calls the figures time.
class Component {
public:
    Component() : object_(win32::createObject(L"Kelmo.CKelmo")) {}

    long number(const wchar_t* property) const {
        return win32::get(object_.get(), property).asLong();
    }
    void setNumber(const wchar_t* property, long value) const {
        win32::put(object_.get(), property, win32::Variant(value));
    }
    win32::Variant call(const wchar_t* member,
                        std::initializer_list<win32::Variant> args = {}) const {
        return win32::call(object_.get(), member, args);
    }
    void rest(long seconds) const { call(L"Rest", {win32::Variant(seconds)}); }
    void send(const std::wstring& script) const { call(L"Send", {win32::Variant(script)}); }
    void readAppNum() const { win32::get(object_.get(), L"AppNum"); }
    // Waits of 1 ms (Atom, Mol1, OD on): what is left of a call is its own time.
    void paceFast() const {
        setNumber(L"Atom", FastMs);
        setNumber(L"Mol1", FastMs);
        call(L"ODOn"); // after Mol1: OD on takes Mol1 as its settle time
    }
    static constexpr long FastMs = 1;

private:
    win32::ComPtr<IDispatch> object_;
};

template <typename Action> double timedMs(Action action) {
    const Stopwatch watch;
    action();
    return watch.elapsedMs();
}

// Runs `action` up to `runs` times, but starts no new run once `budgetMs` has passed and an odd
// number of runs is done (the waits stretch on a busy machine; an odd count has a true median,
// which one disturbed run cannot move far). Returns the time of each run.
template <typename Action>
std::vector<double> timedRuns(long runs, double budgetMs, Action action) {
    const Stopwatch total;
    std::vector<double> ms;
    for (long done = 0; done < runs && (done % 2 == 0 || total.elapsedMs() < budgetMs); ++done)
        ms.push_back(timedMs(action));
    return ms;
}

} // namespace kelmo::bench
