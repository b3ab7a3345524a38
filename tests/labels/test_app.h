// One application object and screen for the whole test executable, as the program has.
#pragma once

#include "app/aboutform.h"
#include "controls/labels/URLLabel.h"
#include "framework/Forms.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"

inline void EnsureTestApplication()
{
    static TApplication* app = nullptr;
    static TScreen* screen = nullptr;
    (void)screen;
    if (app) return;
    app = new TApplication();
    screen = new TScreen();
    app->OnException = [](const std::string& message) { ADD_FAILURE() << "error display: " << message; };
    RegisterComponentClass<TLabel>("TLabel");
    RegisterComponentClass<TButton>("TButton");
    RegisterComponentClass<TImage>("TImage");
    RegisterComponentClass<TPanel>("TPanel");
    RegisterLabelClasses();
    app->Initialize();
}
