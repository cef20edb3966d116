#pragma once
// Data bindings: a binding takes a value (its input), converts it (its output),
// stamps it with a time, raises its events and passes the output on, depth
// first, to every binding attached to it. Used on the user-interface thread only.
#include "uDateTime.h"
#include "uPersistent.h"
#include "uTimeOut.h"
#include "uVariant.h"

#include <functional>
#include <vector>

class TIOData : public TPersistent {
public:
    using TNotifyEvent = std::function<void(TIOData *Sender)>;

    TIOData();
    ~TIOData() override;
    TIOData(const TIOData &) = delete;
    TIOData &operator=(const TIOData &) = delete;

    // Computes the output from Input.
    virtual void Convert(TVariant &Value) = 0;
    // Accepts an input with its time stamp (0 means now).
    virtual void SetValue(const TVariant &Value, TDateTime AStamp = 0);
    virtual void GetInput(TVariant &Value);
    // Attaches this binding to ASource (nullptr only detaches it).
    virtual void SetSource(TIOData *ASource, bool Immediately);
    virtual void GetValue(TVariant &Value);

    void SetOutput(const TVariant &Value);
    void NotifyTargets();
    // Removes this binding from ASource's targets; Source stays as it is.
    void Disconnect(TIOData *ASource);
    void Assign(const TPersistent *Source) override;

    TVariant Value() { TVariant V; GetValue(V); return V; }
    const TVariant &Input() const { return FInput; }
    const TVariant &Output() const { return FOutput; }
    TDateTime Stamp() const { return FStamp.Stamp(); }
    bool Active() const { return FActive; }
    TIOData *Source() const { return FSource; }
    const std::vector<TIOData *> &Targets() const { return FTargets; }

    TNotifyEvent OnOutputChange;
    TNotifyEvent OnInput;
    TNotifyEvent OnOutput;
    TNotifyEvent OnInputChange;

protected:
    void SetActive(bool Value) { FActive = Value; }

private:
    std::vector<TIOData *> FTargets;
    TVariant FInput{std::uint8_t(0)};
    TVariant FOutput{std::uint8_t(0)};
    bool FActive = true;
    TIOData *FSource = nullptr;
    TTimeOut FStamp;
};

// Passes the input on unchanged; its operations never let an error escape, so a
// producer is never stopped by an unconvertible value or a failing consumer.
class TCustomIOData : public TIOData {
public:
    void Convert(TVariant &Value) override;
    void SetValue(const TVariant &Value, TDateTime AStamp = 0) override;
    void GetInput(TVariant &Value) override;
    void SetSource(TIOData *ASource, bool Immediately) override;
    void GetValue(TVariant &Value) override;
};

class TiodIntegerToInteger : public TCustomIOData {
public:
    void Convert(TVariant &Value) override;
};

class TiodDoubleToDouble : public TCustomIOData {
public:
    void Convert(TVariant &Value) override;
};

// The output is the low 8 bits of the input as a three-state byte.
class TiodThreeStatesToThreeStates : public TCustomIOData {
public:
    void Convert(TVariant &Value) override;
};
