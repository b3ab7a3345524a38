// The recording window from its real layout and resources, recording for real through Wine's wave input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "TestSupport.h"
#include "app/TakeClock.h"
#include "app/Unit1.h"
#include "app/form_rec.h"
#include "controls/tray/SysTray.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/LentMeter.h"
#include "tests/support/TempFolder.h"

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    CloseHandle(h);
    return bytes;
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Runs the message loop for about ms milliseconds (the recorder hands buffers back through it).
void PumpFor(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        PumpMessages();
        Sleep(10);
    }
}

TColor MeterPixel(TForm2* form, int x, int y) { return form->Image2->Picture().Bitmap().FastPixel(x, y); }

// The meter shows image index whole and in place: every pixel as the program's picture of it has it.
void ExpectMeterShows(TForm2* form, int index)
{
    TBitmap want;
    want.LoadFromResourceName(GetModuleHandleA(nullptr), "Bitmap_" + std::to_string(index + 1));
    const TBitmap& shown = form->Image2->Picture().Bitmap();
    ASSERT_EQ(shown.Width(), want.Width());
    ASSERT_EQ(shown.Height(), want.Height());
    int wrong = 0;
    for (int y = 0; y < want.Height(); ++y)
        for (int x = 0; x < want.Width(); ++x) wrong += MeterPixel(form, x, y) != want.Canvas().Pixel(x, y);
    EXPECT_EQ(wrong, 0) << "image " << index;
}

UINT WINAPI NoInputs() { return 0; }

constexpr TColor kUnlitBody = 0x6B4100;  // 0x00BBGGRR of (0, 65, 107)
constexpr TColor kLitBody = 0xD1A78F;    // (143, 167, 209)

TForm2* g_rec = nullptr;  // the window under test, for the timer callbacks that click in its modal loop

class Form2Test : public testing::Test {
protected:
    void SetUp() override
    {
        ClearShown();
        Main = Application->CreateForm<TForm1>();
        Main->TrayIcon->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
        Main->Edit1->SetText(Folder);
        Main->Edit2->SetText("Record");  // whatever the prefix's settings say
        Rec = Application->CreateForm<TForm2>();
        Main->RecordTake = [this](const std::string& path) { return Rec->RecordTake(path); };
        g_rec = Rec;
    }
    void TearDown() override
    {
        if (Rec->Visible()) Rec->HBtnStopClick(nullptr);
        delete Rec;
        delete Main;
        PumpMessages();
    }
    void ShowFor(const std::string& name)
    {
        Rec->SetTakeFileName(Folder + name);
        Rec->Show();
    }

    // The window shown again for a second take, which Cancel ends: the file goes, nothing is shown.
    void CancelASecondTake()
    {
        Rec->Hide();
        ShowFor("Record2.wav");
        EXPECT_EQ(ReadAll(Folder + "Record2.wav").size(), 44u);
        Rec->HbtnCancelClick(nullptr);
        EXPECT_EQ(GetFileAttributesA((Folder + "Record2.wav").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(ShownErrors().empty());
    }

    TTempFolder TakeFolder{"tw_rec"};
    const std::string Folder = TakeFolder.Path();
    TForm1* Main = nullptr;
    TForm2* Rec = nullptr;
};

TEST_F(Form2Test, IsBuiltFromItsLayoutWithElevenMeterImages)
{
    EXPECT_EQ(Rec->ClientWidth(), 269);
    EXPECT_EQ(Rec->ClientHeight(), 55);
    EXPECT_EQ(Rec->FormStyle(), fsStayOnTop);
    EXPECT_FALSE(Rec->Visible());
    EXPECT_EQ(Rec->ImageList1->Count(), 11);
    EXPECT_EQ(Rec->LCDLabel1->Caption(), "00:00");
    EXPECT_EQ(Rec->LCDLabel1->Width(), 90);
    EXPECT_EQ(Rec->LCDLabel1->Height(), 32);
    EXPECT_EQ(Rec->HbtnCancel->Caption(), "Cancel");
    EXPECT_EQ(Rec->HBtnStop->Caption(), "Stop");
    EXPECT_FALSE(Rec->Timer1->Enabled());
    EXPECT_EQ(Rec->Timer1->Interval(), 100u);
    EXPECT_EQ(Rec->Image1->Picture().Bitmap().Width(), 270);
    EXPECT_EQ(Rec->Image1->Picture().Bitmap().Height(), 56);
    // Meter image 0: ten dark segments behind 1-pixel black gaps.
    ASSERT_EQ(Rec->Image2->Picture().Bitmap().Width(), 51);
    ASSERT_EQ(Rec->Image2->Picture().Bitmap().Height(), 12);
    EXPECT_EQ(Rec->MeterImage(), 0);
    EXPECT_EQ(MeterPixel(Rec, 0, 5), clBlack);
    EXPECT_EQ(MeterPixel(Rec, 5, 5), clBlack);
    for (int s = 0; s < 10; ++s) EXPECT_EQ(MeterPixel(Rec, 2 + 5 * s, 5), kUnlitBody) << s;
    ExpectMeterShows(Rec, 0);
}

TEST_F(Form2Test, ShowingStartsATakeAndTheTimerDrivesClockAndMeter)
{
    ShowFor("take.wav");
    EXPECT_EQ(Rec->Caption(), "Recording " + Folder + "take.wav");
    EXPECT_TRUE(Rec->Timer1->Enabled());
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(ReadAll(Folder + "take.wav").size(), 44u);

    // Silence from the null sink: the first reading is averaged with the starting level.
    Rec->Timer1->Tick();
    EXPECT_EQ(Rec->MeterImage(), 3);
    for (int s = 0; s < 10; ++s) EXPECT_EQ(MeterPixel(Rec, 2 + 5 * s, 5), s < 3 ? kLitBody : kUnlitBody) << s;
    Rec->Timer1->Tick();
    EXPECT_EQ(Rec->MeterImage(), 0);
    for (int i = 2; i < 25; ++i) Rec->Timer1->Tick();
    EXPECT_EQ(Rec->LCDLabel1->Caption(), "00:02");

    // Showing again starts from zero: clock, meter and the level the first reading is averaged with.
    Rec->HBtnStopClick(nullptr);
    Rec->Hide();
    ShowFor("Record2.wav");
    EXPECT_EQ(Rec->LCDLabel1->Caption(), "00:00");
    EXPECT_EQ(Rec->MeterImage(), 0);
    for (int s = 0; s < 10; ++s) EXPECT_EQ(MeterPixel(Rec, 2 + 5 * s, 5), kUnlitBody) << s;
    Rec->Timer1->Tick();
    EXPECT_EQ(Rec->MeterImage(), 3);
}

TEST_F(Form2Test, StopKeepsAValidTakeAndCancelDeletesIt)
{
    ShowFor("take.wav");
    PumpFor(1500);
    Rec->HBtnStopClick(nullptr);
    EXPECT_FALSE(Rec->Timer1->Enabled());
    EXPECT_EQ(Rec->ModalResult(), mrOk);
    std::vector<std::uint8_t> wav = ReadAll(Folder + "take.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(U32(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(wav, 24), 44100u);
    EXPECT_EQ(U32(wav, 40), wav.size() - 44);
    EXPECT_EQ(wav.size() % 4, 0u);  // whole 16-bit stereo frames

    CancelASecondTake();
}

TEST_F(Form2Test, ATakeThatCannotStartIsToldAtOnceClosesAndLeavesNoFile)
{
    // No such input device: the window closes by itself, the number stays free, the icon works again.
    Rec->Audio1->SetAudioDeviceID(9);
    Main->TrayIconClick(nullptr);
    EXPECT_FALSE(Rec->Visible());
    EXPECT_TRUE(Main->TrayIcon->Enabled());
    EXPECT_EQ(GetFileAttributesA((Folder + "Record1.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    const TShownBox& shown = ShownBoxes()[0];
    EXPECT_EQ(shown.Text.rfind("Recording could not start.\n\nCould not open the input device for recording: ", 0), 0u)
        << shown.Text;
    EXPECT_EQ(shown.Text.substr(shown.Text.size() - 20), "\n\nNothing was saved.");
    EXPECT_EQ(shown.Caption, "Tape Wing");
    EXPECT_TRUE(shown.Flags & MB_ICONERROR);
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(shown.Text.find("start it again"), std::string::npos);
    {
        // The platform found no input at all when the program started: only a restart can find one.
        TImportPatch none("winmm.dll", "waveInGetNumDevs", reinterpret_cast<void*>(&NoInputs));
        ASSERT_TRUE(none.Active());
        Main->TrayIconClick(nullptr);
    }
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_NE(ShownBoxes()[1].Text.find("quit Tapewing and start it again."), std::string::npos);

    // The file cannot be created (a name the platform refuses, which only a hand-made setting could give).
    Rec->Audio1->SetAudioDeviceID(-1);
    const TTakeResult bad = Rec->RecordTake(Folder + "bad?name1.wav");
    EXPECT_EQ(bad.End, TTakeEnd::StartFailed);
    EXPECT_EQ(bad.Failure.rfind("Cannot create file \"" + Folder + "bad?name1.wav\". ", 0), 0u) << bad.Failure;
    EXPECT_FALSE(Rec->Timer1->Enabled());

    // The device stops before its first buffer: nothing was recorded, so it is told as a take that did not
    // start, and no empty take is left.
    ClearShown();
    Rec->OnShow = [&](TObject* sender) {
        Rec->FormShow(sender);
        TRecorder::WaveInCallback(nullptr, WIM_CLOSE, reinterpret_cast<DWORD_PTR>(&Rec->Audio1->Recorder()), 0, 0);
        // Looked at at once: on a busy machine the timer's first tick could come after a real first buffer.
        Rec->Timer1Timer(nullptr);
    };
    Main->TrayIconClick(nullptr);
    EXPECT_EQ(GetFileAttributesA((Folder + "Record1.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, std::string("Recording could not start.\n\n") + TRecorder::kDeviceClosedText +
                                           "\n\nNothing was saved.");
    EXPECT_TRUE(Main->TrayIcon->Enabled());
}

TEST_F(Form2Test, AFileMadeByAnotherProgramSinceTheNameWasChosenIsNeverOverwritten)
{
    bool made = false;
    Rec->OnShow = [&](TObject* sender) {
        // Between the search for a free number and the creation, another program makes Record1.wav.
        if (!made) {
            HANDLE h = CreateFileA((Folder + "Record1.wav").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            DWORD put = 0;
            WriteFile(h, "theirs", 6, &put, nullptr);
            CloseHandle(h);
            made = true;
        }
        Rec->FormShow(sender);
        if (Rec->Timer1->Enabled()) Rec->HBtnStopClick(nullptr);
    };
    Main->TrayIconClick(nullptr);
    EXPECT_EQ(ReadAll(Folder + "Record1.wav").size(), 6u);
    std::vector<std::uint8_t> wav = ReadAll(Folder + "Record2.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(U32(wav, 40), wav.size() - 44);
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_TRUE(ShownErrors().empty());

    // A folder named like the next take is no file, so its number is chosen; it cannot be recorded over, and
    // that is told once rather than tried again and again.
    CreateDirectoryA((Folder + "Record3.wav").c_str(), nullptr);
    int shows = 0;
    Rec->OnShow = [&](TObject* sender) {
        ++shows;
        Rec->FormShow(sender);
        if (Rec->Timer1->Enabled()) Rec->HBtnStopClick(nullptr);
    };
    Main->TrayIconClick(nullptr);
    RemoveDirectoryA((Folder + "Record3.wav").c_str());
    EXPECT_EQ(shows, 1);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text.rfind("Recording could not start.\n\nCannot create file \"" + Folder +
                                            "Record3.wav\". ", 0), 0u) << ShownBoxes()[0].Text;
}

TEST_F(Form2Test, WhenTheDeviceStopsMidTakeTheUserIsToldAndTheTakeKeepsWhatWasRecorded)
{
    ShowFor("Record1.wav");
    TRecorder& rec = Rec->Audio1->Recorder();
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 10000 && rec.RecordedBytes() < 32768;) PumpFor(20);
    ASSERT_GE(rec.RecordedBytes(), 32768u);
    TRecorder::WaveInCallback(nullptr, WIM_CLOSE, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
    Rec->Timer1Timer(nullptr);
    EXPECT_FALSE(Rec->Timer1->Enabled());
    EXPECT_TRUE(Rec->Visible()) << "Stop and Cancel still end the take";
    const std::uint64_t bytes = rec.RecordedBytes();
    EXPECT_EQ(Rec->LCDLabel1->Caption(), DurationText(bytes / 176400));
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, std::string("The take could not go on (") + TRecorder::kDeviceClosedText +
                                           "), so it has stopped.\n\n" + Folder + "Record1.wav keeps the " +
                                           DurationText(bytes / 176400) +
                                           " recorded until then.\n\nStop keeps the take, Cancel deletes it.");
    EXPECT_TRUE(ShownBoxes()[0].Flags & MB_ICONWARNING);
    Rec->HBtnStopClick(nullptr);
    std::vector<std::uint8_t> wav = ReadAll(Folder + "Record1.wav");
    EXPECT_EQ(wav.size(), 44 + bytes);
    EXPECT_EQ(U32(wav, 40), bytes);

    CancelASecondTake();
}

TEST_F(Form2Test, OnlyTheRealEndOfTheSessionEndsTheTake)
{
    ShowFor("Record1.wav");
    TRecorder& rec = Rec->Audio1->Recorder();
    SendMessageA(Rec->Handle(), WM_QUERYENDSESSION, 0, 0);
    SendMessageA(Rec->Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(rec.IsOpen());
    EXPECT_TRUE(Rec->Timer1->Enabled());
    SendMessageA(Rec->Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(rec.IsOpen());
    EXPECT_FALSE(rec.FileOpen());
    EXPECT_FALSE(Rec->Timer1->Enabled());
    EXPECT_EQ(Rec->ModalResult(), mrOk);
    EXPECT_EQ(ReadAll(Folder + "Record1.wav").size(), 44 + rec.RecordedBytes());
}

// The meter reads the peak meter of the mixer's second destination; where the mixer has none (as here), it
// follows the peak of the last captured buffer.
TEST_F(Form2Test, TheMeterReadsTheMixerOrElseTheLastBuffer)
{
    TMixerSettings& mixer = Rec->Audio1->Mixer();
    int l = 0, r = 0;
    if (mixer.ReadPeak(1, 0, l, r)) GTEST_SKIP() << "this mixer has a peak meter";
    TRecorder& rec = Rec->Audio1->Recorder();
    auto deliver = [&](std::int16_t peak) {
        // A buffer handed back by the device, with one loud sample.
        const int slot = rec.DoneIndex();
        std::memset(rec.Buffer(slot), 0, rec.BufferBytes());
        std::memcpy(rec.Buffer(slot) + 8, &peak, 2);
        rec.Header(slot)->dwBytesRecorded = rec.BufferBytes();
        TRecorder::WaveInCallback(nullptr, WIM_DATA, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
    };
    TRecorder::WaveInCallback(nullptr, WIM_OPEN, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
    deliver(16000);
    Rec->Timer1Timer(nullptr);
    EXPECT_EQ(Rec->MeterImage(), 8);  // (16000 + 10000) / 2 / 1600
    deliver(-3200);
    Rec->Timer1Timer(nullptr);
    EXPECT_EQ(Rec->MeterImage(), 6);  // (3200 + 16000) / 2 / 1600
    // Two loud readings light the whole meter; two silent ones put it out.
    for (std::int16_t peak : {32000, 32000, 0, 0}) {
        if (peak == 0) {
            EXPECT_EQ(Rec->MeterImage(), 10);
            EXPECT_EQ(MeterPixel(Rec, 47, 5), kLitBody);
            ExpectMeterShows(Rec, 10);
        }
        deliver(peak);
        Rec->Timer1Timer(nullptr);
    }
    EXPECT_EQ(Rec->MeterImage(), 0);
    TRecorder::WaveInCallback(nullptr, WIM_CLOSE, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
    PumpMessages();

    // A second destination whose line has a peak meter (the first destination's volume, lent as one).
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    ASSERT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer.Handle()), &line,
                                MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
    line.dwDestination = 1;
    {
        TLentMeter meter;
        ASSERT_TRUE(meter.Active());
        mixer.AddMixerLine(line, false);
    }
    const TMixDetails* e = mixer.MixerLines();
    while (e->Next) e = e->Next.get();
    ASSERT_EQ(e->MeterChannels, 2);
    LONG v[2] = {};
    MIXERCONTROLDETAILS d{sizeof d, e->PeakMeterControl, 2, {}, sizeof(LONG), v};
    ASSERT_EQ(mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mixer.Handle()), &d,
                                      MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE), MMSYSERR_NOERROR);
    Rec->Timer1Timer(nullptr);
    EXPECT_EQ(Rec->MeterImage(),
              MeterIndex(static_cast<std::int32_t>((std::uint32_t(v[0]) + std::uint32_t(v[1])) / 2), 0));
}

// Clicks Stop from inside the modal loop, as a person would.
VOID CALLBACK StopTake(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (g_rec && g_rec->HBtnStop->OnClick) g_rec->HBtnStop->OnClick(g_rec->HBtnStop);
}

TEST_F(Form2Test, ATrayClickRunsTheWindowModallyAndEnablesTheIconAfterwards)
{
    bool enabledDuringTake = true;
    Rec->OnShow = [&](TObject* sender) {
        enabledDuringTake = Main->TrayIcon->Enabled();
        Rec->FormShow(sender);
    };
    SetTimer(nullptr, 0, 700, StopTake);
    Main->TrayIconClick(nullptr);
    EXPECT_FALSE(enabledDuringTake);
    EXPECT_TRUE(Main->TrayIcon->Enabled());
    EXPECT_FALSE(Rec->Visible());
    EXPECT_GE(ReadAll(Folder + "Record1.wav").size(), 44u);
}

// Presses a button of the recording window with the mouse, from inside the modal loop: the click reaches the
// button's handler through the window, as a person's does.
void PressButton(THemisphereButton* button)
{
    HWND wnd = g_rec->Handle();
    const LPARAM at = MAKELPARAM(button->Left() + button->Width() / 2, button->Top() + button->Height() / 2);
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(wnd, WM_LBUTTONUP, 0, at);
}

std::string g_undeletable;

VOID CALLBACK CancelUndeletableTake(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    SetFileAttributesA(g_undeletable.c_str(), FILE_ATTRIBUTE_READONLY);
    PressButton(g_rec->HbtnCancel);
}

TEST_F(Form2Test, CancelWithATakeThatCannotBeDeletedShowsTheErrorClosesAndKeepsTheFile)
{
    g_undeletable = Folder + "Record1.wav";
    SetTimer(nullptr, 0, 300, CancelUndeletableTake);
    Main->TrayIconClick(nullptr);
    SetFileAttributesA(g_undeletable.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0], "File access denied");
    EXPECT_FALSE(Rec->Visible());
    EXPECT_FALSE(Rec->Timer1->Enabled());
    EXPECT_FALSE(Rec->HbtnCancel->Down()) << "the next take would show Cancel pressed";
    EXPECT_TRUE(Main->TrayIcon->Enabled());
    std::vector<std::uint8_t> wav = ReadAll(g_undeletable);
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(U32(wav, 40), wav.size() - 44);  // finished before the delete was tried
}

// Close requests in the middle of a take, then Stop once the take has grown on, from inside the modal loop.
struct TCloseDuringTake {
    std::string Path;
    bool VisibleAfterClose = false, TimerAfterClose = false;
    std::size_t SizeAtClose = 0, SizeBeforeStop = 0;
    DWORD ClosedAt = 0;
} g_closeDuringTake;

VOID CALLBACK StopAfterCloseRequests(HWND, UINT, UINT_PTR id, DWORD)
{
    TCloseDuringTake& t = g_closeDuringTake;
    t.SizeBeforeStop = ReadAll(t.Path).size();
    // Two more buffers (0.37 s of audio), however slowly a loaded machine captures.
    if (t.SizeBeforeStop < t.SizeAtClose + 2 * 32768 && GetTickCount() - t.ClosedAt < 10000) return;
    KillTimer(nullptr, id);
    t.VisibleAfterClose = g_rec->Visible() && IsWindowVisible(g_rec->Handle());
    t.TimerAfterClose = g_rec->Timer1->Enabled();
    if (g_rec->HBtnStop->OnClick) g_rec->HBtnStop->OnClick(g_rec->HBtnStop);
}

VOID CALLBACK RequestClose(HWND, UINT, UINT_PTR id, DWORD)
{
    TCloseDuringTake& t = g_closeDuringTake;
    if (ReadAll(t.Path).size() <= 44 && GetTickCount() - t.ClosedAt < 10000) return;  // capture has begun
    KillTimer(nullptr, id);
    t.SizeAtClose = ReadAll(t.Path).size();
    t.ClosedAt = GetTickCount();
    SendMessageA(g_rec->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(g_rec->Handle(), WM_CLOSE, 0, 0);
    SetTimer(nullptr, 0, 200, StopAfterCloseRequests);
}

TEST_F(Form2Test, CloseRequestsDoNotEndATakeOnlyStopDoes)
{
    g_closeDuringTake = {};
    g_closeDuringTake.Path = Folder + "Record1.wav";
    g_closeDuringTake.ClosedAt = GetTickCount();
    SetTimer(nullptr, 0, 100, RequestClose);
    Main->TrayIconClick(nullptr);
    EXPECT_TRUE(g_closeDuringTake.VisibleAfterClose);
    EXPECT_TRUE(g_closeDuringTake.TimerAfterClose);
    // The take went on after the close requests.
    EXPECT_GT(g_closeDuringTake.SizeAtClose, 44u);
    EXPECT_GE(g_closeDuringTake.SizeBeforeStop, g_closeDuringTake.SizeAtClose + 2 * 32768);
    EXPECT_FALSE(Rec->Visible());
    EXPECT_TRUE(Main->TrayIcon->Enabled());
    std::vector<std::uint8_t> wav = ReadAll(g_closeDuringTake.Path);
    ASSERT_GE(wav.size(), g_closeDuringTake.SizeBeforeStop);
    EXPECT_EQ(U32(wav, 40), wav.size() - 44);
    EXPECT_EQ(U32(wav, 4), wav.size() - 8);
}

}  // namespace

TEST_F(Form2Test, StopHasTheKeyboardWhenShownAndAMarkInsideItsFaceSaysSo)
{
    ShowFor("take.wav");
    ASSERT_TRUE(Rec->HBtnStop->Focused());
    TBitmap marked, plain;
    for (TBitmap* b : {&marked, &plain}) {
        b->SetSize(69, 32);
        Rec->HBtnStop->PaintTo(b->Canvas().Handle());
        Rec->HbtnCancel->SetFocus();
    }
    int inside = 0, outside = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 69; ++x)
            if (marked.Canvas().Pixel(x, y) != plain.Canvas().Pixel(x, y))
                ++(Rec->HBtnStop->FaceHitTest(x, y) ? inside : outside);
    EXPECT_GT(inside, 40);
    EXPECT_EQ(outside, 0);
}
