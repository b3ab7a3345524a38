#include "app/form_rec.h"

#include "app/RegWork.h"
#include "app/TakeName.h"
#include "framework/Dialogs.h"
#include "framework/SysUtils.h"

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner, "TFORM2")
{
    Field("Image1", Image1);
    Field("LCDLabel1", LCDLabel1);
    Field("HbtnCancel", HbtnCancel);
    Field("HBtnStop", HBtnStop);
    Field("Image2", Image2);
    Field("Timer1", Timer1);
    Field("Audio1", Audio1);
    Field("ImageList1", ImageList1);
    Publish<TNotifyEvent>("FormCreate", [this](TObject* s) { FormCreate(s); });
    Publish<TNotifyEvent>("FormShow", [this](TObject* s) { FormShow(s); });
    Publish<TCloseQueryEvent>("FormCloseQuery", [this](TObject* s, bool& c) { FormCloseQuery(s, c); });
    Publish<TNotifyEvent>("FormDestroy", [this](TObject* s) { FormDestroy(s); });
    Publish<TNotifyEvent>("Timer1Timer", [this](TObject* s) { Timer1Timer(s); });
    Publish<TNotifyEvent>("HBtnStopClick", [this](TObject* s) { HBtnStopClick(s); });
    Publish<TNotifyEvent>("HbtnCancelClick", [this](TObject* s) { HbtnCancelClick(s); });
}

TForm2::~TForm2()
{
    BeforeDestruction();  // FormDestroy frees the meter bitmap, a member of this class
}

TTakeResult TForm2::RecordTake(const std::string& path)
{
    FTakeFileName = path;
    switch (ShowModal()) {
    case mrStartFailed: return {TTakeEnd::StartFailed, FStartFailure};
    case mrNameTaken: return {TTakeEnd::NameTaken, FStartFailure};
    case mrCancel: return {TTakeEnd::Cancelled, {}};
    default: return {TTakeEnd::Kept, {}};
    }
}

void TForm2::FormCreate(TObject* Sender)
{
    MeterBitmap = std::make_unique<TBitmap>();
    for (int i = 1; i <= kMeterImages; ++i) {
        MeterBitmap->LoadFromResourceName(GetModuleHandleA(nullptr), "Bitmap_" + std::to_string(i));
        ImageList1->Add(*MeterBitmap, MeterBitmap.get());
    }
    ShowMeterImage(0);
}

void TForm2::FormDestroy(TObject* Sender)
{
    MeterBitmap.reset();
}

void TForm2::ShowMeterImage(int index)
{
    if (!MeterBitmap) return;
    if (index >= 0 && index < kMeterImages) {
        MeterBitmap->SetSize(ImageList1->Width(), ImageList1->Height());
        ImageList1->Draw(MeterBitmap->Canvas(), 0, 0, index);
        FMeterImage = index;
    }
    Image2->Picture().Assign(*MeterBitmap);
}

void TForm2::FormShow(TObject* Sender)
{
    FTakeEnded = false;
    FStartFailure.clear();
    Clock.Reset();
    PreviousLevel = kInitialMeterLevel;
    LCDLabel1->SetCaption("00:00");
    ShowMeterImage(0);
    const std::string& path = FTakeFileName;
    SetCaption("Recording " + path);
    TRecorder& recorder = Audio1->Recorder();
    try {
        recorder.CreateWaveFile(path);
    } catch (const Exception& e) {
        const auto* create = dynamic_cast<const EFCreateError*>(&e);
        if (create && create->ErrorCode == ERROR_FILE_EXISTS) {
            FTakeEnded = true;
            FStartFailure = e.Message();
            SetModalResult(mrNameTaken);
            PostMessageA(Handle(), WM_NULL, 0, 0);  // the modal loop looks at the result after a message
            return;
        }
        FailStart(e.Message());
        return;
    }
    if (!recorder.StartRecording()) {
        std::string cause = Audio1->ErrorMessage();
        // The platform lists the inputs once per program: one connected later is seen only after a restart.
        if (waveInGetNumDevs() == 0)
            cause += "\n\nNo sound input was found when Tapewing started. If one has been connected since, quit "
                     "Tapewing and start it again.";
        recorder.StopRecording();
        DeleteFileA(path.c_str());  // only its header: the number stays free
        FailStart(cause);
        return;
    }
    Timer1->SetEnabled(true);
}

void TForm2::FailStart(const std::string& cause)
{
    Timer1->SetEnabled(false);
    FStartFailure = cause;
    FTakeEnded = true;
    SetModalResult(mrStartFailed);
    PostMessageA(Handle(), WM_NULL, 0, 0);
}

void TForm2::EndBrokenTake(TRecordFault fault)
{
    Timer1->SetEnabled(false);
    TRecorder& recorder = Audio1->Recorder();
    const std::string cause = Audio1->ErrorMessage();
    recorder.StopRecording();
    const std::string& path = FTakeFileName;
    const std::uint64_t bytes = recorder.RecordedBytes();
    const WAVEFORMATEX* format = recorder.WaveFormat();
    if (bytes == 0 || !format || !format->nAvgBytesPerSec) {
        // Nothing was recorded at all: as if the take had never started.
        DeleteFileA(path.c_str());
        FailStart(cause);
        return;
    }
    const std::uint64_t seconds = bytes / format->nAvgBytesPerSec;
    Clock.SetElapsed(seconds);
    LCDLabel1->SetCaption(Clock.Caption());
    std::string what;
    switch (fault) {
    case rfNoSound: what = "No sound has come from the input device for 2 seconds"; break;
    case rfSoundLost: what = "The take file could not be written fast enough, and sound was lost"; break;
    case rfSizeLimit: what = "The take has reached the 4 GB size limit of a WAV file"; break;
    default: what = "The take could not go on (" + cause + ")"; break;
    }
    what += ", so it has stopped.";
    ShowMessageBox(what + "\n\n" + path + " keeps the " + DurationText(seconds) +
                       " recorded until then.\n\nStop keeps the take, Cancel deletes it.",
                   Application->Title(), MB_OK | MB_ICONWARNING);
}

void TForm2::WndProc(TMessage& Message)
{
    // The session really ends (another program could still have cancelled it at the query): the take is
    // finished as Stop would finish it.
    if (Message.Msg == WM_ENDSESSION && Message.WParam && Visible() && !FTakeEnded) HBtnStopClick(this);
    TForm::WndProc(Message);
}

void TForm2::ReadLevel(int& left, int& right)
{
    left = right = 0;
    if (!Audio1->Mixer().ReadPeak(1, 0, left, right)) left = right = Audio1->Recorder().LastPeak();
}

void TForm2::Timer1Timer(TObject* Sender)
{
    if (const TRecordFault fault = Audio1->Recorder().CheckFault(GetTickCount()); fault != rfNone) {
        EndBrokenTake(fault);
        return;
    }
    Clock.Tick();
    LCDLabel1->SetCaption(Clock.Caption());
    int left = 0, right = 0;
    ReadLevel(left, right);
    CurrentLevel = MeanLevel(left, right);
    ShowMeterImage(MeterIndex(CurrentLevel, PreviousLevel));
    PreviousLevel = CurrentLevel;
}

void TForm2::FormCloseQuery(TObject* Sender, bool& CanClose)
{
    // Alt+F4 or a close message would hide the window while the recorder goes on writing: refused, the take
    // goes on until Stop or Cancel.
    CanClose = FTakeEnded;
}

void TForm2::HBtnStopClick(TObject* Sender)
{
    FTakeEnded = true;
    Timer1->SetEnabled(false);
    SetModalResult(mrOk);
    Audio1->Recorder().StopRecording();
}

void TForm2::HbtnCancelClick(TObject* Sender)
{
    HBtnStopClick(Sender);
    SetModalResult(mrCancel);
    const std::string& path = FTakeFileName;
    if (FileExists(path) && !DeleteFileA(path.c_str())) {
        const int code = static_cast<int>(GetLastError());
        // Shown from here: raised through the button, it would skip the button's release and the next take
        // would show Cancel pressed.
        try {
            throw EInOutError(InOutErrorText(code), code);
        } catch (...) {
            Application->HandleException(this);
        }
    }
}
