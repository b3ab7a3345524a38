#include "app/aboutform.h"

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(TComponent* AOwner) : TForm(AOwner, "TABOUTBOX")
{
    Publish<TNotifyEvent>("OKButtonClick", [this](TObject* Sender) { OKButtonClick(Sender); });
    Field("Panel1", Panel1);
    Field("ProgramIcon", ProgramIcon);
    Field("myLabel3d1", myLabel3d1);
    Field("Version", Version);
    Field("Copyright", Copyright);
    Field("Comments", Comments);
    Field("URLLabel1", URLLabel1);
    Field("URLLabel2", URLLabel2);
    Field("OKButton", OKButton);
    if (!AboutBox) AboutBox = this;
}

TAboutBox::~TAboutBox()
{
    if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::OKButtonClick(TObject* Sender)
{
    // Not modal: closing only hides the window until the next "&About...".
    Close();
}

void ShowAboutBox()
{
    if (!AboutBox) return;
    AboutBox->Show();
    SetForegroundWindow(AboutBox->Handle());
}
