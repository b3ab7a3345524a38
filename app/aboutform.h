// The About window: created hidden at start-up, shown without blocking from the tray menu.
#pragma once

#include "controls/labels/Mylabel.h"
#include "controls/labels/URLLabel.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TAboutBox : public TForm {
public:
    explicit TAboutBox(TComponent* AOwner);
    ~TAboutBox() override;

    TPanel* Panel1 = nullptr;
    TImage* ProgramIcon = nullptr;
    TmyLabel3d* myLabel3d1 = nullptr;
    TLabel* Version = nullptr;
    TLabel* Copyright = nullptr;
    TLabel* Comments = nullptr;
    TURLLabel* URLLabel1 = nullptr;
    TURLLabel* URLLabel2 = nullptr;
    TButton* OKButton = nullptr;

    void OKButtonClick(TObject* Sender);
};

// The one About window of the program (null until it is created).
extern TAboutBox* AboutBox;

// What "&About..." does: shows the About window without blocking and brings it to the front; the first
// time it is centred, afterwards it comes back where it was.
void ShowAboutBox();
