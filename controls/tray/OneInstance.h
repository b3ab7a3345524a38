// Single-instance guard. A detection step at start-up marks the first copy with a named mutex; the
// TSingleInstance component on the main window makes a later copy raise the first one and end.
#pragma once

#include <memory>
#include <string>

#include "framework/Classes.h"

// The detection step's result, one per process.
class TPreviousInstance : public TObject {
public:
    // Creates (or finds) the mutex of that name; names longer than 255 characters are cut.
    explicit TPreviousInstance(const std::string& name);
    ~TPreviousInstance() override;
    TPreviousInstance(const TPreviousInstance&) = delete;
    TPreviousInstance& operator=(const TPreviousInstance&) = delete;

    bool Found() const { return FFound; }
    // The mutex this copy holds; null when another copy had it first or it could not be created.
    void* MutexHandle() const { return FMutex; }

private:
    void* FMutex = nullptr;
    bool FFound = false;
};

// Run once at start-up, after the application's hidden window exists and before the title is set:
// the application title is still the default one there.
void InitializeOneInstance();
// Program end: releases the mutex (if held) and the detection result.
void FinalizeOneInstance();
// The detection result (null before InitializeOneInstance and after FinalizeOneInstance).
TPreviousInstance* PreviousInstance();

// Posted by a later copy to the running copy's application window, which it has just raised: the running
// copy shows itself again (its tray icon comes back if the shell lost it).
unsigned ShowRunningCopyMessage();

class TSingleInstance : public TComponent {
public:
    // With another copy running, hands over to it and asks this application to end.
    explicit TSingleInstance(TComponent* AOwner);
    const std::string& About() const { return FAbout; }
    void SetAbout(const std::string& value) { FAbout = value; }
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

private:
    std::string FAbout;
};

void RegisterOneInstanceClasses();
