// The audio component without a live take: formats and rings, device selection, layouts, the error texts
// (failing steps of real devices made to fail), the capture callback driven by hand, the mixer and the player.
#include <gtest/gtest.h>

#include <any>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "audio/Audio.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/LentMeter.h"

namespace {

std::string PlatformText(MMRESULT(WINAPI* getText)(MMRESULT, LPSTR, UINT), const char* fixed, MMRESULT code)
{
    char text[512] = {};
    getText(code, text, 255);
    return text[0] ? std::string(fixed) + " " + text : std::string(fixed);
}
std::string InText(const char* fixed, MMRESULT code) { return PlatformText(waveInGetErrorTextA, fixed, code); }
std::string OutText(const char* fixed, MMRESULT code) { return PlatformText(waveOutGetErrorTextA, fixed, code); }

UINT WINAPI NoDevices() { return 0; }

// An error number the platform has no text for.
constexpr MMRESULT kNoTextError = 9999;

// A stand-in for one wave function: the first Passes calls reach the platform, the later ones fail with Code.
template <int Id, typename... A>
struct TWaveStep {
    static inline MMRESULT(WINAPI* Real)(A...) = nullptr;
    static inline int Passes = 0;
    static inline MMRESULT Code = 0;
    static MMRESULT WINAPI Call(A... a) { return Passes-- > 0 ? Real(a...) : Code; }
};
using TPrepareIn = TWaveStep<1, HWAVEIN, LPWAVEHDR, UINT>;
using TAddIn = TWaveStep<2, HWAVEIN, LPWAVEHDR, UINT>;
using TStartIn = TWaveStep<3, HWAVEIN>;
using TResetIn = TWaveStep<4, HWAVEIN>;
using TUnprepareIn = TWaveStep<5, HWAVEIN, LPWAVEHDR, UINT>;
using TCloseIn = TWaveStep<6, HWAVEIN>;
using TWriteOut = TWaveStep<7, HWAVEOUT, LPWAVEHDR, UINT>;
using TResetOut = TWaveStep<8, HWAVEOUT>;
using TUnprepareOut = TWaveStep<9, HWAVEOUT, LPWAVEHDR, UINT>;
using TCloseOut = TWaveStep<10, HWAVEOUT>;

template <typename Step>
std::unique_ptr<TImportPatch> Fail(const char* function, int passes, MMRESULT code)
{
    auto patch = std::make_unique<TImportPatch>("winmm.dll", function, reinterpret_cast<void*>(&Step::Call));
    EXPECT_TRUE(patch->Active()) << function << " is not imported";
    Step::Real = patch->Original<decltype(Step::Real)>();
    Step::Passes = passes;
    Step::Code = code;
    return patch;
}

// A failing step, and the text it leaves.
using TFailing = std::pair<std::function<std::unique_ptr<TImportPatch>()>, std::string>;

// A rebuilt ring has new, zeroed headers (possibly in the very blocks the old ones had): a mark left in the
// headers tells which rings were rebuilt since: "rp" both, "r-" the recorder's only, "--" neither.
constexpr DWORD_PTR kMark = 0x5EED;
void Mark(TAudio& audio)
{
    for (TAudioSettings* d : {static_cast<TAudioSettings*>(&audio.Recorder()), static_cast<TAudioSettings*>(&audio.Player())})
        for (int i = 0; i < kRingSlots; ++i) d->Header(i)->dwUser = kMark;
}
std::string Rebuilt(TAudio& audio)
{
    std::string rings;
    for (TAudioSettings* d : {static_cast<TAudioSettings*>(&audio.Recorder()), static_cast<TAudioSettings*>(&audio.Player())}) {
        int marks = 0, missing = 0;
        for (int i = 0; i < kRingSlots; ++i) {
            missing += !d->Header(i);
            marks += d->Header(i) && d->Header(i)->dwUser == kMark;
        }
        rings += missing || (marks && marks < kRingSlots) ? '?' : marks ? '-' : d == &audio.Player() ? 'p' : 'r';
    }
    return rings;
}

// The format record and the ring a direction holds, against the format it reports.
void ExpectRing(const TAudioSettings& d, int channels, int bits, unsigned rate, unsigned bufferBytes)
{
    const WAVEFORMATEX* f = d.WaveFormat();
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(WAVE_FORMAT_PCM, f->wFormatTag);
    EXPECT_EQ(channels, f->nChannels);
    EXPECT_EQ(rate, f->nSamplesPerSec);
    EXPECT_EQ(unsigned(channels * bits / 8), f->nBlockAlign);
    EXPECT_EQ(rate * channels * bits / 8, f->nAvgBytesPerSec);
    EXPECT_EQ(bits, f->wBitsPerSample);
    EXPECT_EQ(0, f->cbSize);
    EXPECT_EQ(bufferBytes, d.BufferBytes());
    for (int i = 0; i < kRingSlots; ++i) {
        ASSERT_NE(nullptr, d.Header(i));
        EXPECT_NE(nullptr, d.Buffer(i));
        EXPECT_NE(nullptr, d.HalfBuffer(i));
        EXPECT_EQ(reinterpret_cast<LPSTR>(d.Buffer(i)), d.Header(i)->lpData) << i;
    }
}

// Hands slot DoneIndex back from the device with these bytes, on a thread of its own as the platform does.
void Deliver(TRecorder& rec, const std::vector<std::uint8_t>& bytes)
{
    int slot = rec.DoneIndex();
    if (!bytes.empty()) std::memcpy(rec.Buffer(slot), bytes.data(), bytes.size());
    rec.Header(slot)->dwBytesRecorded = static_cast<DWORD>(bytes.size());
    std::thread t([&] {
        TRecorder::WaveInCallback(nullptr, WIM_DATA, reinterpret_cast<DWORD_PTR>(&rec),
                                  reinterpret_cast<DWORD_PTR>(rec.Header(slot)), 0);
    });
    t.join();
}

int TakeBufferDoneMessages(TAudio& audio)
{
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, audio.NotifyWindow(), kBufferDoneMessage, kBufferDoneMessage, PM_REMOVE)) ++n;
    return n;
}

void OpenForCallbacks(TRecorder& rec)
{
    if (!rec.WaveFormat()) {
        ASSERT_TRUE(rec.AllocBuffers());
    }
    TRecorder::WaveInCallback(nullptr, WIM_OPEN, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
}

std::vector<std::uint8_t> Samples16(std::size_t count, int value)
{
    std::vector<std::uint8_t> b(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        b[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
        b[2 * i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    return b;
}

// A take file on which writes start failing after a number of bytes, as on a full disk.
class TFullDiskStream : public TFileStream {
public:
    TFullDiskStream(const std::string& name, long budget) : TFileStream(name, fmCreate), FBudget(budget) {}
    long Write(const void* buffer, long count) override
    {
        long n = count < FBudget ? count : FBudget;
        FBudget -= n;
        long done = n > 0 ? TFileStream::Write(buffer, n) : 0;
        if (done < count) SetLastError(ERROR_DISK_FULL);
        return done;
    }
    void Free(long bytes) { FBudget += bytes; }

private:
    long FBudget;
};

// A take file whose writes wait while it is stalled, as on a slow share or a drive spinning up.
class TStallingStream : public TFileStream {
public:
    explicit TStallingStream(const std::string& name)
        : TFileStream(name, fmCreate), FGo(CreateEventA(nullptr, TRUE, TRUE, nullptr))
    {
    }
    ~TStallingStream() override { CloseHandle(FGo); }
    long Write(const void* buffer, long count) override
    {
        WaitForSingleObject(FGo, 10000);
        return TFileStream::Write(buffer, count);
    }
    void Stall() { ResetEvent(FGo); }
    void Go() { SetEvent(FGo); }

private:
    HANDLE FGo;
};

// A wave-input device of the test's own: every call succeeds, buffers come back only when the test delivers
// them (Deliver), and the test can close it under the recorder or have it refuse buffers.
class TFakeWaveIn {
public:
    TFakeWaveIn()
    {
        AddResult = MMSYSERR_NOERROR;
        const std::pair<const char*, void*> calls[] = {
            {"waveInOpen", reinterpret_cast<void*>(&Open)}, {"waveInPrepareHeader", reinterpret_cast<void*>(&Header)},
            {"waveInUnprepareHeader", reinterpret_cast<void*>(&Header)}, {"waveInAddBuffer", reinterpret_cast<void*>(&Add)},
            {"waveInStart", reinterpret_cast<void*>(&Device)}, {"waveInReset", reinterpret_cast<void*>(&Device)},
            {"waveInClose", reinterpret_cast<void*>(&Close)}};
        for (auto [name, standIn] : calls) {
            FPatches.push_back(std::make_unique<TImportPatch>("winmm.dll", name, standIn));
            EXPECT_TRUE(FPatches.back()->Active()) << name;
        }
    }
    // The device goes away on its own, as when the sound server ends.
    static void Vanish() { TRecorder::WaveInCallback(nullptr, WIM_CLOSE, Instance, 0, 0); }
    static inline MMRESULT AddResult = MMSYSERR_NOERROR;

private:
    static MMRESULT WINAPI Open(LPHWAVEIN wave, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR instance, DWORD)
    {
        *wave = reinterpret_cast<HWAVEIN>(0x5A5A);
        Instance = instance;
        TRecorder::WaveInCallback(*wave, WIM_OPEN, instance, 0, 0);
        return MMSYSERR_NOERROR;
    }
    static MMRESULT WINAPI Header(HWAVEIN, LPWAVEHDR, UINT) { return MMSYSERR_NOERROR; }
    static MMRESULT WINAPI Add(HWAVEIN, LPWAVEHDR, UINT) { return AddResult; }
    static MMRESULT WINAPI Device(HWAVEIN) { return MMSYSERR_NOERROR; }
    static MMRESULT WINAPI Close(HWAVEIN wave)
    {
        TRecorder::WaveInCallback(wave, WIM_CLOSE, Instance, 0, 0);
        return MMSYSERR_NOERROR;
    }
    static inline DWORD_PTR Instance = 0;
    std::vector<std::unique_ptr<TImportPatch>> FPatches;
};

std::vector<std::uint8_t> Pattern(std::size_t bytes, int seed)
{
    std::vector<std::uint8_t> b(bytes);
    for (std::size_t i = 0; i < bytes; ++i) b[i] = static_cast<std::uint8_t>(seed * 31 + i % 251);
    return b;
}

// The data of a take file is exactly these buffers, in this order.
void ExpectTakeHolds(const std::string& path, const std::vector<std::vector<std::uint8_t>>& buffers)
{
    std::vector<std::uint8_t> expected, file = ReadWholeFile(path);
    for (const auto& b : buffers) expected.insert(expected.end(), b.begin(), b.end());
    TWavInfo w = ParseWav(file);
    EXPECT_EQ(expected.size(), w.DataSize);
    EXPECT_EQ(w.FileSize - 8, w.RiffSize);
    ASSERT_EQ(44 + expected.size(), file.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44));
}

}  // namespace

TEST(AudioSettings, FormatSettersRebuildTheRingsTheyChange)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    TPlayer& play = audio.Player();
    EXPECT_EQ(8192, rec.Format().NoSamples);
    EXPECT_EQ(-1, audio.AudioDeviceID());
    ASSERT_NE(nullptr, rec.WaveFormat()) << "the test environment must provide a wave-input device";
    ExpectRing(rec, 1, 8, 11025, 8192);
    ExpectRing(play, 1, 8, 11025, 8192);

    // Each new value rebuilds both rings at once; the same value again rebuilds neither.
    auto change = [&](const std::function<void()>& set) {
        for (const char* rebuilt : {"rp", "--"}) {
            Mark(audio);
            set();
            EXPECT_EQ(rebuilt, Rebuilt(audio));
        }
    };
    change([&] { audio.SetSampleRate(play, 44100); });
    ExpectRing(rec, 1, 8, 44100, 8192);
    change([&] { audio.SetChannels(rec, Stereo); });
    ExpectRing(play, 2, 8, 44100, 16384);
    change([&] { audio.SetBitsPerSample(play, _16); });
    change([&] { audio.SetNoSamples(4096); });
    ExpectRing(rec, 2, 16, 44100, 16384);
    ExpectRing(play, 2, 16, 44100, 16384);
    EXPECT_EQ(4096, play.Format().NoSamples);

    rec.SetSplitChannels(true);
    EXPECT_TRUE(rec.SplitChannels());
    audio.SetChannels(play, Mono);
    EXPECT_FALSE(rec.SplitChannels());
    rec.SetSplitChannels(true);
    EXPECT_FALSE(rec.SplitChannels());
    audio.SetChannels(rec, Stereo);

    // With separate controls only the direction addressed changes, and only its ring is rebuilt; the buffer
    // length still reaches both.
    audio.SetSeparateCtrls(true);
    Mark(audio);
    audio.SetSampleRate(play, 22050);
    EXPECT_EQ("-p", Rebuilt(audio));
    rec.SetSplitChannels(true);
    audio.SetChannels(rec, Mono);
    EXPECT_FALSE(rec.SplitChannels());
    audio.SetBitsPerSample(rec, _8);
    ExpectRing(rec, 1, 8, 44100, 4096);
    ExpectRing(play, 2, 16, 22050, 16384);
    Mark(audio);
    audio.SetNoSamples(2048);
    EXPECT_EQ(2048, play.Format().NoSamples);
    EXPECT_EQ("rp", Rebuilt(audio));
}

TEST(AudioSettings, AllocationFailuresAreReportedNotRaised)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    ASSERT_NE(nullptr, rec.WaveFormat());
    // The format record, slot 0's header, its buffer, its half buffer, then slot 1's header.
    const char* texts[] = {"Not enough memory to allocate WaveFormat", "Not enough memory to allocate WaveHeader",
                           "Not enough memory to allocate Wave Buffer", "Not enough memory to allocate Wave Buffer",
                           "Not enough memory to allocate WaveHeader"};
    for (int n = 0; n < 5; ++n) {
        rec.FreeBuffers();
        audio.SetErrorMessage("");
        g_allocationsBeforeFailure = n;
        EXPECT_FALSE(rec.AllocBuffers()) << n;
        g_allocationsBeforeFailure = -1;
        EXPECT_EQ(texts[n], audio.ErrorMessage()) << n;
        EXPECT_EQ(n == 0, rec.WaveFormat() == nullptr) << n;
    }
    EXPECT_NE(nullptr, rec.Header(0));
    EXPECT_EQ(nullptr, rec.Header(1));
    rec.FreeBuffers();
    EXPECT_EQ(nullptr, rec.Header(0));
    EXPECT_EQ(nullptr, rec.Buffer(0));
    EXPECT_EQ(nullptr, rec.HalfBuffer(0));
    // Without a format record the device cannot be opened.
    EXPECT_FALSE(rec.StartRecording());
    EXPECT_EQ(InText("Could not open the input device for recording: ", MMSYSERR_INVALPARAM), audio.ErrorMessage());
    // A format change builds the ring again; one that fails leaves nothing of the old ring (the player's first).
    audio.SetSampleRate(rec, 8000);
    ExpectRing(rec, 1, 8, 8000, 8192);
    g_allocationsBeforeFailure = 4;
    audio.SetSampleRate(rec, 22050);
    EXPECT_EQ(nullptr, audio.Player().Header(kRingSlots - 1));

    // A machine without wave-input devices builds no ring at construction, but one at a format change; one
    // without output devices builds only the recorder's.
    for (const char* missing : {"waveInGetNumDevs", "waveOutGetNumDevs"}) {
        TImportPatch none("winmm.dll", missing, reinterpret_cast<void*>(&NoDevices));
        ASSERT_TRUE(none.Active()) << missing;
        TAudio bare(nullptr);
        EXPECT_EQ(missing[4] == 'O', bare.Recorder().WaveFormat() != nullptr) << missing;
        EXPECT_EQ(nullptr, bare.Player().WaveFormat()) << missing;
        if (!bare.Recorder().WaveFormat()) {
            // A take file still gets its header, from the settings.
            const std::string path = TempPath("unformatted.wav");
            bare.Recorder().CreateWaveFile(path);
            bare.Recorder().FinishWaveFile();
            const TWavInfo w = ParseWav(ReadWholeFile(path));
            EXPECT_TRUE(w.Valid);
            EXPECT_EQ(1, w.Channels);
            EXPECT_EQ(8, w.Bits);
            EXPECT_EQ(11025u, w.SampleRate);
            DeleteFileA(path.c_str());
        }
        bare.SetChannels(bare.Recorder(), Stereo);
        ExpectRing(bare.Player(), 2, 8, 11025, 16384);
    }
}

TEST(AudioSettings, BuffersThatWouldWrapAreRefused)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    audio.SetBitsPerSample(rec, _16);
    audio.SetChannels(rec, Stereo);
    audio.SetNoSamples(16383);
    EXPECT_EQ(65532, rec.BufferBytes());
    EXPECT_EQ(65532, audio.Player().BufferBytes());

    audio.SetErrorMessage("");
    audio.SetNoSamples(16384);  // 65,536 bytes would wrap to an empty buffer
    EXPECT_EQ(16383, rec.Format().NoSamples);
    EXPECT_EQ(16383, audio.Player().Format().NoSamples);
    EXPECT_EQ(65532, rec.BufferBytes());
    EXPECT_EQ(TAudio::kBufferSizeRefused, audio.ErrorMessage());
    audio.SetNoSamples(0);
    EXPECT_EQ(16383, rec.Format().NoSamples);

    // A format change that would take the same buffers past 16 bits is refused as well.
    audio.SetChannels(rec, Mono);
    audio.SetNoSamples(20000);
    EXPECT_EQ(40000, rec.BufferBytes());
    audio.SetErrorMessage("");
    audio.SetChannels(rec, Stereo);
    EXPECT_EQ(Mono, rec.Format().Channels);
    EXPECT_EQ(Mono, audio.Player().Format().Channels);
    EXPECT_EQ(TAudio::kBufferSizeRefused, audio.ErrorMessage());
}

TEST(AudioComponent, DeviceSelectionVersionAndLayout)
{
    TAudio audio(nullptr);
    // A device change rebuilds both rings; the same device again rebuilds nothing.
    auto select = [&](int id, int stored, const char* rebuilt) {
        Mark(audio);
        audio.SetAudioDeviceID(id);
        EXPECT_EQ(stored, audio.AudioDeviceID()) << id;
        EXPECT_EQ(rebuilt, Rebuilt(audio)) << id;
    };
    select(-1, -1, "--");
    select(12, -1, "rp");  // above 9 means the wave mapper; 12 differs from -1, so it counts as a change
    select(9, 9, "rp");
    select(9, 9, "--");
    select(10, -1, "rp");
    select(0, 0, "rp");
    select(-5, -5, "rp");  // other negative values are kept for the platform to refuse
    select(-1, -1, "rp");
    audio.SetVersion("anything");
    EXPECT_EQ("4.1 (32bit)", audio.Version());

    // A mixer that does not exist: the list is gone, the last discovery's flag stays, nothing is read.
    TMixerSettings& mixer = audio.Mixer();
    ASSERT_TRUE(mixer.Active()) << "no mixer device";
    audio.SetMixerDeviceID(0);
    EXPECT_NE(nullptr, mixer.MixerLines());
    audio.SetMixerDeviceID(50);
    EXPECT_EQ(50, audio.MixerDeviceID());
    EXPECT_EQ(nullptr, mixer.MixerLines());
    EXPECT_TRUE(mixer.Active());
    int l = -7, r = -7;
    EXPECT_FALSE(mixer.ReadPeak(0, 0, l, r));
    EXPECT_EQ(-7, l);
    audio.SetMixerDeviceID(0);
    EXPECT_EQ(0, audio.MixerDeviceID());
    EXPECT_NE(nullptr, mixer.MixerLines());
    mixer.SetActive(false);
    audio.SetMixerDeviceID(50);
    audio.SetMixerDeviceID(0);
    EXPECT_TRUE(mixer.Active());  // set again by a discovery that succeeded

    // The recording window's stored values, by name, on a component made by class name.
    std::unique_ptr<TComponent> made(CreateComponentByClassName("TAudio", nullptr));
    auto* a = dynamic_cast<TAudio*>(made.get());
    ASSERT_NE(nullptr, a);
    auto ident = [](const char* s) {
        TLayoutValue v;
        v.kind = TLayoutValue::kIdent;
        v.Str = s;
        return v;
    };
    TLayoutValue rate;
    rate.Int = 44100;
    TLayoutValue zero;
    EXPECT_TRUE(a->SetProperty("Player.BitsPerSample", ident("_16")));
    EXPECT_TRUE(a->SetProperty("Player.Channels", ident("Stereo")));
    EXPECT_TRUE(a->SetProperty("Player.SampleRate", rate));
    EXPECT_TRUE(a->SetProperty("Recorder.BitsPerSample", ident("_16")));
    EXPECT_TRUE(a->SetProperty("Recorder.Channels", ident("Stereo")));
    EXPECT_TRUE(a->SetProperty("Recorder.SampleRate", rate));
    EXPECT_TRUE(a->SetProperty("Recorder.TrigLevel", zero));
    EXPECT_TRUE(a->SetProperty("Recorder.Triggered", ident("False")));
    EXPECT_FALSE(a->SetProperty("Recorder.Nonsense", zero));
    EXPECT_EQ(32768, a->Recorder().BufferBytes());
    EXPECT_EQ(44100, a->Player().Format().SampleRate);
    EXPECT_EQ(0, a->Recorder().TrigLevel());
    EXPECT_FALSE(a->Recorder().Triggered());
    // The component's own values, and what the other stored properties reach.
    TLayoutValue number;
    number.Int = 4096;
    EXPECT_TRUE(a->SetProperty("Recorder.NoSamples", number));
    EXPECT_EQ(4096, a->Player().Format().NoSamples);
    EXPECT_TRUE(a->SetProperty("Recorder.SplitChannels", ident("True")));
    EXPECT_TRUE(a->Recorder().SplitChannels());
    EXPECT_TRUE(a->SetProperty("Recorder.Triggered", ident("True")));
    EXPECT_TRUE(a->Recorder().Triggered());
    number.Int = 300;
    EXPECT_TRUE(a->SetProperty("Recorder.TrigLevel", number));
    EXPECT_EQ(300, a->Recorder().TrigLevel());
    number.Int = 3;
    EXPECT_TRUE(a->SetProperty("AudioDeviceID", number));
    EXPECT_EQ(3, a->AudioDeviceID());
    EXPECT_TRUE(a->SetProperty("MixerDeviceID", number));
    EXPECT_EQ(3, a->MixerDeviceID());
    EXPECT_TRUE(a->SetProperty("SeparateCtrls", ident("True")));
    EXPECT_TRUE(a->SeparateCtrls());
    TLayoutValue text;
    text.kind = TLayoutValue::kString;
    text.Str = "2.0";
    EXPECT_TRUE(a->SetProperty("Version", text));
    EXPECT_EQ("4.1 (32bit)", a->Version());
    EXPECT_THROW(a->SetProperty("Player.Channels", ident("Quad")), ELayoutError);
    EXPECT_THROW(a->SetProperty("Player.BitsPerSample", ident("_24")), ELayoutError);
    const struct {
        const char* name;
        long long low, high;
    } ranges[] = {{"Player.SampleRate", 1, 65535}, {"Recorder.NoSamples", 0, 65535}, {"Recorder.TrigLevel", 0, 65535}};
    for (const auto& range : ranges) {
        for (long long v : {range.low - 1, range.low, range.high, range.high + 1}) {
            number.Int = v;
            if (v < range.low || v > range.high) {
                EXPECT_THROW(a->SetProperty(range.name, number), ELayoutError) << range.name << " " << v;
            } else {
                EXPECT_NO_THROW(a->SetProperty(range.name, number)) << range.name << " " << v;
            }
        }
    }
    // The events the recording window's layout may bind.
    auto bind = [&](const char* name, std::any handler) {
        TLayoutValue v = ident(name);
        v.Method = std::move(handler);
        return a->SetProperty(name, v);
    };
    int raised = 0;
    EXPECT_TRUE(bind("OnRecord", TNotifyAudioRecordEvent([&](TObject*, void*, void*, std::uint16_t) { raised += 1; })));
    EXPECT_TRUE(bind("OnBufferPlayed", TNotifyBufferPlayedEvent([&](TObject*) { raised += 10; })));
    EXPECT_TRUE(bind("OnPlayed", TNotifyPlayedEvent([&](TObject*) { raised += 100; })));
    EXPECT_TRUE(bind("OnMixerChange", TNotifyMixerChange([&](TObject*, std::uint16_t, std::uint16_t) { raised += 1000; })));
    a->OnRecord(nullptr, nullptr, nullptr, 0);
    a->OnBufferPlayed(nullptr);
    a->OnPlayed(nullptr);
    a->OnMixerChange(nullptr, 0, 0);
    EXPECT_EQ(1111, raised);
}

TEST(AudioErrors, TextsOfFailedOperations)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();

    // No such device.
    audio.SetAudioDeviceID(9);
    EXPECT_FALSE(rec.StartRecording());
    EXPECT_EQ(InText("Could not open the input device for recording: ", MMSYSERR_BADDEVICEID), audio.ErrorMessage());
    EXPECT_FALSE(rec.IsOpen());

    // Stop on a recorder that never opened still finishes the open file.
    std::string path = TempPath("never.wav");
    rec.CreateWaveFile(path);
    EXPECT_TRUE(rec.FileOpen());
    EXPECT_TRUE(rec.StopRecording());
    EXPECT_EQ("Recorder already closed", audio.ErrorMessage());
    EXPECT_FALSE(rec.FileOpen());
    TWavInfo w = ParseWav(ReadWholeFile(path));
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(44u, w.FileSize);
    EXPECT_EQ(36u, w.RiffSize);
    EXPECT_EQ(0u, w.DataSize);
    DeleteFileA(path.c_str());

    audio.Player().StopPlayer();
    EXPECT_EQ("Player already closed", audio.ErrorMessage());

    // The file cannot be created: the platform's reason, with the expanded name.
    std::string bad = "tw_no_such_dir\\take.wav";
    char full[MAX_PATH];
    GetFullPathNameA(bad.c_str(), MAX_PATH, full, nullptr);
    try {
        rec.CreateWaveFile(bad);
        ADD_FAILURE() << "no error raised";
    } catch (const EFCreateError& e) {
        EXPECT_EQ("Cannot create file \"" + std::string(full) + "\". " + SysErrorMessage(ERROR_PATH_NOT_FOUND),
                  e.Message());
    }
    EXPECT_FALSE(rec.FileOpen());
    // A name whose full path would not fit is reported as it was given.
    const std::string tooLong = std::string(MAX_PATH, 'x') + ".wav";
    try {
        rec.CreateWaveFile(tooLong);
        ADD_FAILURE() << "no error raised";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(0u, e.Message().find("Cannot create file \"" + tooLong + "\". ")) << e.Message();
    }

    // An empty name creates nothing.
    rec.CreateWaveFile("");
    EXPECT_FALSE(rec.FileOpen());
}

TEST(AudioErrors, EachFailingStepOfTheInputDeviceStoresItsText)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    audio.SetNoSamples(1024);
    // Opening and starting: the device is closed again.
    const TFailing starting[] = {
        {[] { return Fail<TPrepareIn>("waveInPrepareHeader", 1, MMSYSERR_NOMEM); },  // the second header
         InText("Error preparing header for recording: ", MMSYSERR_NOMEM)},
        // The platform has no text for this error: the fixed text alone.
        {[] { return Fail<TStartIn>("waveInStart", 0, kNoTextError); }, "Error starting wave record: "},
        // The first buffer (handed over while opening) or the third (while starting) is refused.
        {[] { return Fail<TAddIn>("waveInAddBuffer", 0, MMSYSERR_NOMEM); }, "Error adding next input buffer"},
        {[] { return Fail<TAddIn>("waveInAddBuffer", 2, MMSYSERR_NOMEM); }, "Error adding next input buffer"}};
    for (const auto& [fail, text] : starting) {
        auto p = fail();
        EXPECT_FALSE(rec.StartRecording()) << text;
        EXPECT_EQ(text, audio.ErrorMessage());
        EXPECT_FALSE(rec.IsOpen()) << text;
    }

    // Stopping: a failed reset or release is reported, but the device is closed all the same (a device that
    // lost its sound server fails them, and only a new open records again); only a failed close keeps it.
    const TFailing stopping[] = {
        {[] { return Fail<TResetIn>("waveInReset", 0, MMSYSERR_NOMEM); }, "Error in waveInReset"},
        {[] { return Fail<TUnprepareIn>("waveInUnprepareHeader", 1, MMSYSERR_NOMEM); },
         InText("Error in waveInUnprepareHeader", MMSYSERR_NOMEM)},
        {[] { return Fail<TCloseIn>("waveInClose", 0, MMSYSERR_NOMEM); }, "Error closing input device"}};
    for (const auto& [fail, text] : stopping) {
        ASSERT_TRUE(rec.StartRecording()) << audio.ErrorMessage();
        EXPECT_EQ(0, rec.AddIndex());  // all four buffers with the device
        auto p = fail();
        EXPECT_FALSE(rec.StopRecording()) << text;
        EXPECT_EQ(text, audio.ErrorMessage());
        EXPECT_EQ(text == "Error closing input device", rec.IsOpen()) << text;
    }
    audio.SetErrorMessage("");
    EXPECT_TRUE(rec.StopRecording());
    EXPECT_EQ("", audio.ErrorMessage());
    EXPECT_FALSE(rec.IsOpen());

    // A buffer that cannot go back to the device in the middle of a take stops the take.
    ASSERT_TRUE(rec.OpenRecorder()) << audio.ErrorMessage();
    EXPECT_EQ(1, rec.AddIndex());
    OpenForCallbacks(rec);
    {
        auto p = Fail<TAddIn>("waveInAddBuffer", 0, MMSYSERR_NOMEM);
        Deliver(rec, std::vector<std::uint8_t>(1024, 128));
        PumpMessages();
        EXPECT_EQ(InText("Error adding input buffer", MMSYSERR_NOMEM), audio.ErrorMessage());
        EXPECT_FALSE(rec.IsOpen());
        EXPECT_FALSE(rec.IsActive());
    }
}

TEST(RecorderCallback, TriggerSplitAndEmptyBuffers)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    audio.SetBitsPerSample(rec, _16);
    audio.SetChannels(rec, Stereo);
    rec.SetSplitChannels(true);
    rec.SetTrigLevel(0);
    OpenForCallbacks(rec);
    TakeBufferDoneMessages(audio);

    int calls = 0;
    std::uint16_t size = 0;
    std::vector<std::int16_t> left, right;
    audio.OnRecord = [&](TObject* sender, void* lp, void* rp, std::uint16_t n) {
        ++calls;
        size = n;
        if (sender != &rec || !rp) return;
        left.assign(static_cast<std::int16_t*>(lp), static_cast<std::int16_t*>(lp) + n / 2);
        right.assign(static_cast<std::int16_t*>(rp), static_cast<std::int16_t*>(rp) + n / 2);
    };

    // Only negative samples: not triggered, nothing delivered, but the buffer goes back to the device.
    Deliver(rec, Samples16(16384, -3));
    EXPECT_EQ(0, calls);
    EXPECT_FALSE(rec.Triggered());
    EXPECT_EQ(1, rec.DoneIndex());
    EXPECT_EQ(1, TakeBufferDoneMessages(audio));

    // An empty buffer is neither delivered, handed back nor counted, and leaves the last peak alone.
    EXPECT_EQ(3, rec.LastPeak());
    Deliver(rec, {});
    EXPECT_EQ(1, rec.DoneIndex());
    EXPECT_EQ(0, TakeBufferDoneMessages(audio));
    EXPECT_EQ(3, rec.LastPeak());

    // 32,768 bytes of stereo, left frame k = k, right = -k - 1: delivered split, after the file got them as
    // they came.
    std::string path = TempPath("split.wav");
    rec.CreateWaveFile(path);
    std::vector<std::uint8_t> stereo(32768);
    for (int k = 0; k < 8192; ++k) {
        auto l = static_cast<std::int16_t>(k), r = static_cast<std::int16_t>(-k - 1);
        std::memcpy(&stereo[4 * k], &l, 2);
        std::memcpy(&stereo[4 * k + 2], &r, 2);
    }
    Deliver(rec, stereo);
    EXPECT_TRUE(rec.Triggered());
    EXPECT_EQ(1, calls);
    EXPECT_EQ(16384, size);
    ASSERT_EQ(8192u, left.size());
    bool split = true;
    for (int k = 0; k < 8192 && split; ++k) split = left[k] == k && right[k] == -k - 1;
    EXPECT_TRUE(split);
    EXPECT_EQ(8192, rec.LastPeak());
    EXPECT_EQ(2, rec.DoneIndex());

    // Once triggered, even negative buffers are delivered; after stop nothing is.
    std::vector<std::uint8_t> negative = Samples16(16384, -3);
    Deliver(rec, negative);
    EXPECT_EQ(2, calls);
    rec.StopRecording();
    Deliver(rec, stereo);
    EXPECT_EQ(2, calls);
    EXPECT_EQ(3, rec.DoneIndex());
    TakeBufferDoneMessages(audio);
    std::vector<std::uint8_t> file = ReadWholeFile(path);
    ASSERT_EQ(44u + 2 * 32768, file.size());
    EXPECT_TRUE(std::equal(stereo.begin(), stereo.end(), file.begin() + 44)) << "the file got the split buffer";
    EXPECT_TRUE(std::equal(negative.begin(), negative.end(), file.begin() + 44 + 32768));
    DeleteFileA(path.c_str());

    // 8-bit silence stays below a level of 129; a single byte above it triggers, a buffer like any other.
    TAudio audio8(nullptr);
    TRecorder& rec8 = audio8.Recorder();
    rec8.SetTrigLevel(129);
    OpenForCallbacks(rec8);
    Deliver(rec8, std::vector<std::uint8_t>(8192, 128));
    EXPECT_FALSE(rec8.Triggered());
    Deliver(rec8, {200});
    EXPECT_TRUE(rec8.Triggered());
    EXPECT_EQ(2, rec8.DoneIndex());
    EXPECT_EQ(2, TakeBufferDoneMessages(audio8));

    // A device that claims more than the buffer holds gives the buffer, not more (nor a count cut to 16 bits).
    std::string claimed = TempPath("claimed.wav");
    rec8.CreateWaveFile(claimed);
    const int slot = rec8.DoneIndex();
    std::memset(rec8.Buffer(slot), 7, rec8.BufferBytes());
    rec8.Header(slot)->dwBytesRecorded = 0x10000 + 8;
    TRecorder::WaveInCallback(nullptr, WIM_DATA, reinterpret_cast<DWORD_PTR>(&rec8), 0, 0);
    rec8.FinishWaveFile();
    EXPECT_EQ(44u + rec8.BufferBytes(), ReadWholeFile(claimed).size());
    DeleteFileA(claimed.c_str());
    TakeBufferDoneMessages(audio8);
}

TEST(RecorderCallback, AppendingStopsAtTheLimitAndOnFailedWrites)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();  // 8-bit mono, 8,192-byte buffers
    rec.SetTriggered(true);
    OpenForCallbacks(rec);
    std::vector<std::uint8_t> buffer(8192, 200);

    // A new file, or an empty name, finishes the open file: later buffers no longer reach it.
    std::string earlier = TempPath("earlier.wav"), next = TempPath("next.wav");
    rec.CreateWaveFile(earlier);
    Deliver(rec, buffer);
    rec.CreateWaveFile(next);
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    rec.CreateWaveFile("");
    EXPECT_FALSE(rec.FileOpen());
    Deliver(rec, buffer);
    for (auto [path, buffers] : {std::pair{earlier, 1u}, std::pair{next, 2u}}) {
        TWavInfo finished = ParseWav(ReadWholeFile(path));
        EXPECT_EQ(44u + 8192 * buffers, finished.FileSize);
        EXPECT_EQ(8192u * buffers, finished.DataSize);
        EXPECT_EQ(8192u * buffers + 36, finished.RiffSize);
        EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file is still open";
    }

    // Small limit in place of 4 GiB - 1: the third buffer would pass it and is discarded.
    std::string path = TempPath("limit.wav");
    rec.CreateWaveFile(path);
    rec.SetFileSizeLimit(44 + 2 * 8192 + 100);
    for (int i = 0; i < 2; ++i) {
        Deliver(rec, buffer);
        ASSERT_TRUE(rec.FlushTake(5000));
        TWavInfo w = ParseWav(ReadWholeFile(path));  // valid after every buffer
        EXPECT_EQ(w.FileSize - 8, w.RiffSize);
        EXPECT_EQ(8192u * (i + 1), w.DataSize);
    }
    audio.SetErrorMessage("");
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    rec.FlushTake(5000);
    PumpMessages();
    EXPECT_EQ(TRecorder::kSizeLimitText, audio.ErrorMessage());
    EXPECT_EQ(rfSizeLimit, rec.CheckFault(GetTickCount()));
    EXPECT_EQ(44u + 2 * 8192, ReadWholeFile(path).size());
    rec.FinishWaveFile();
    TWavInfo w = ParseWav(ReadWholeFile(path));
    EXPECT_EQ(2u * 8192, w.DataSize);
    EXPECT_EQ(w.FileSize - 8, w.RiffSize);
    DeleteFileA(path.c_str());

    // The disk fills up in the middle of the second buffer: it is cut off again, the header stays exact.
    rec.SetFileSizeLimit(kMaxWaveFileSize);
    std::string full = TempPath("full.wav");
    TFullDiskStream* disk = nullptr;
    rec.SetStreamFactory([&disk](const std::string& name) {
        disk = new TFullDiskStream(name, 44 + 8192 + 8 + 1000);
        return std::unique_ptr<TFileStream>(disk);
    });
    rec.CreateWaveFile(full);
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    // Room made afterwards does not resume the take: it would have a hole in it.
    disk->Free(1 << 20);
    Deliver(rec, buffer);
    rec.FlushTake(5000);
    EXPECT_EQ(rfWriteFailed, rec.CheckFault(GetTickCount()));
    TWavInfo before = ParseWav(ReadWholeFile(full));
    EXPECT_EQ(44u + 8192, before.FileSize);
    EXPECT_EQ(8192u, before.DataSize);
    // Stopped before the buffers went back to the device: the stop reports it.
    TakeBufferDoneMessages(audio);
    rec.StopRecording();
    EXPECT_EQ(TRecorder::kWriteErrorText + SysErrorMessage(ERROR_DISK_FULL), audio.ErrorMessage());
    TWavInfo after = ParseWav(ReadWholeFile(full));
    EXPECT_EQ(44u + 8192, after.FileSize);
    EXPECT_EQ(8192u, after.DataSize);
    EXPECT_EQ(8192u + 36, after.RiffSize);
    DeleteFileA(full.c_str());
    TakeBufferDoneMessages(audio);
}

TEST(RecorderCallback, NoAllocationAndHandlerErrorsReachTheMainThread)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetTriggered(true);
    audio.SetChannels(rec, Stereo);
    rec.SetSplitChannels(true);
    OpenForCallbacks(rec);
    std::string path = TempPath("alloc.wav");
    rec.CreateWaveFile(path);
    DWORD handlerThread = 0;
    audio.OnRecord = [&](TObject*, void*, void*, std::uint16_t) { handlerThread = GetCurrentThreadId(); };
    std::vector<std::uint8_t> buffer(8192, 100);
    g_foreignAllocations = 0;
    g_countForeign = true;
    for (int i = 0; i < 6; ++i) Deliver(rec, buffer);  // the ring wraps around
    g_countForeign = false;
    EXPECT_EQ(0, g_foreignAllocations.load());
    EXPECT_NE(0u, handlerThread);
    EXPECT_NE(g_mainThread, handlerThread);

    // A handler that throws: the capture thread goes on, the error reaches the error display on the main thread.
    audio.OnRecord = [](TObject*, void*, void*, std::uint16_t) { throw EInOutError("handler failed", 1); };
    ShownErrors().clear();
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    EXPECT_TRUE(ShownErrors().empty());
    PumpMessages();
    ASSERT_EQ(1u, ShownErrors().size());
    EXPECT_EQ("handler failed", ShownErrors()[0]);
    Deliver(rec, buffer);  // a later failure is reported again
    PumpMessages();
    EXPECT_EQ(2u, ShownErrors().size());

    // A stop while the handler is still busy with a buffer waits for it before the file is finished, and
    // leaves messages meant for others in the queue.
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> entered{false}, left{false};
    audio.OnRecord = [&](TObject*, void*, void*, std::uint16_t) {
        entered = true;
        WaitForSingleObject(release, 5000);
        left = true;
    };
    const int slot = rec.DoneIndex();
    rec.Header(slot)->dwBytesRecorded = 8192;
    std::thread capture([&] {
        TRecorder::WaveInCallback(nullptr, WIM_DATA, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
    });
    while (!entered) Sleep(1);
    std::thread releaser([&] {
        Sleep(200);
        SetEvent(release);
    });
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
    rec.StopRecording();
    EXPECT_TRUE(left) << "the file was finished while the handler ran";
    capture.join();
    releaser.join();
    CloseHandle(release);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(10 * 8192u, ParseWav(ReadWholeFile(path)).DataSize);
    DeleteFileA(path.c_str());
}

TEST(RecorderCallback, AStalledFileHoldsUpNeitherCaptureNorStopAndLosesNothingUntilTheQueueIsFull)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();  // 8-bit mono, 8,192-byte buffers
    rec.SetTriggered(true);
    OpenForCallbacks(rec);
    TStallingStream* file = nullptr;
    rec.SetStreamFactory([&file](const std::string& name) {
        file = new TStallingStream(name);
        return std::unique_ptr<TFileStream>(file);
    });
    std::string path = TempPath("stalled.wav");

    // Ten buffers while the file takes nothing: the capture thread never waits, and the stop waits for the
    // file rather than drop what was captured.
    rec.CreateWaveFile(path);
    file->Stall();
    std::vector<std::vector<std::uint8_t>> sent;
    for (int i = 0; i < 10; ++i) {
        sent.push_back(Pattern(8192, i));
        Deliver(rec, sent.back());
    }
    EXPECT_FALSE(rec.FlushTake(200));
    std::thread later([&] {
        Sleep(300);
        file->Go();
    });
    EXPECT_EQ(rfNone, rec.CheckFault(GetTickCount()));
    rec.StopRecording();
    later.join();
    ExpectTakeHolds(path, sent);
    DeleteFileA(path.c_str());

    // More than the queue holds: the take ends at the full queue, with everything before it, and says so.
    rec.CreateWaveFile(path);
    OpenForCallbacks(rec);
    file->Stall();
    sent.clear();
    for (unsigned i = 0; i < kTakeQueueBlocks + 3; ++i) {
        std::vector<std::uint8_t> b = Pattern(8192, 100 + i);
        Deliver(rec, b);
        if (i < kTakeQueueBlocks) sent.push_back(b);
    }
    EXPECT_EQ(rfSoundLost, rec.CheckFault(GetTickCount()));
    EXPECT_EQ(TRecorder::kSoundLostText, audio.ErrorMessage());
    file->Go();
    rec.StopRecording();
    ExpectTakeHolds(path, sent);
    DeleteFileA(path.c_str());
    TakeBufferDoneMessages(audio);
}

TEST(RecorderCallback, EachBufferReachesTheFileOnceWhateverTheCaptureThreadDoes)
{
    TFakeWaveIn device;
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetTriggered(true);
    ASSERT_TRUE(rec.AllocBuffers());
    std::string path = TempPath("once.wav");
    rec.CreateWaveFile(path);
    ASSERT_TRUE(rec.StartRecording()) << audio.ErrorMessage();
    std::vector<std::uint8_t> first = Pattern(8192, 1), second = Pattern(8192, 2), tail = Pattern(5000, 3);
    Deliver(rec, first);
    PumpMessages();

    // The capture thread is still busy with the second buffer (its handler hangs) when Stop gives up waiting
    // for it; the buffer the device hands back unfinished at the stop goes to the file after it.
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> entered{false};
    audio.OnRecord = [&](TObject*, void*, void*, std::uint16_t) {
        entered = true;
        WaitForSingleObject(release, 10000);
    };
    const int slot = rec.DoneIndex();
    std::memcpy(rec.Buffer(slot), second.data(), second.size());
    rec.Header(slot)->dwBytesRecorded = 8192;
    std::thread capture([&] {
        TRecorder::WaveInCallback(nullptr, WIM_DATA, reinterpret_cast<DWORD_PTR>(&rec), 0, 0);
    });
    while (!entered) Sleep(1);
    const int next = (slot + 1) % kRingSlots;
    std::memcpy(rec.Buffer(next), tail.data(), tail.size());
    rec.Header(next)->dwBytesRecorded = static_cast<DWORD>(tail.size());
    EXPECT_TRUE(rec.StopRecording());
    SetEvent(release);
    capture.join();
    CloseHandle(release);
    EXPECT_EQ(tail.size(), rec.TailBytes());
    ExpectTakeHolds(path, {first, second, tail});
    DeleteFileA(path.c_str());
}

TEST(RecorderFaults, SilenceAClosedDeviceAndARefusedBufferEndTheTake)
{
    TFakeWaveIn device;
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetTriggered(true);
    ASSERT_TRUE(rec.AllocBuffers());
    std::string path = TempPath("fault.wav");
    auto take = [&] {
        DeleteFileA(path.c_str());
        rec.CreateWaveFile(path);
        ASSERT_TRUE(rec.StartRecording()) << audio.ErrorMessage();
    };

    // Silence is counted from the start (the first buffer may take longer), and from each buffer the device
    // returns or is given back.
    DWORD before = GetTickCount();
    take();
    EXPECT_EQ(rfNone, rec.CheckFault(before + TRecorder::kFirstSoundMs - 1));
    Sleep(50);
    before = GetTickCount();
    Deliver(rec, Pattern(8192, 1));
    EXPECT_EQ(rfNone, rec.CheckFault(before + TRecorder::kNoSoundMs - 1));
    Sleep(50);
    before = GetTickCount();
    PumpMessages();  // the buffer goes back to the device
    EXPECT_EQ(rfNone, rec.CheckFault(before + TRecorder::kNoSoundMs - 1));
    const DWORD now = GetTickCount();
    EXPECT_EQ(rfNoSound, rec.CheckFault(now + TRecorder::kNoSoundMs));
    EXPECT_EQ(TRecorder::kNoSoundText, audio.ErrorMessage());
    EXPECT_EQ(rfNoSound, rec.CheckFault(now));  // it stays
    rec.StopRecording();
    EXPECT_EQ(8192u, rec.RecordedBytes());
    ExpectTakeHolds(path, {Pattern(8192, 1)});
    // A stopped take is not watched; a new one starts without a fault.
    EXPECT_EQ(rfNoSound, rec.CheckFault(now + 10 * TRecorder::kNoSoundMs));
    take();
    EXPECT_EQ(rfNone, rec.CheckFault(GetTickCount()));
    EXPECT_EQ(rfNoSound, rec.CheckFault(GetTickCount() + TRecorder::kFirstSoundMs));
    rec.StopRecording();
    take();

    // The device closes under the take (its own close at Stop is no fault).
    TFakeWaveIn::Vanish();
    EXPECT_EQ(rfDeviceLost, rec.CheckFault(GetTickCount()));
    EXPECT_EQ(TRecorder::kDeviceClosedText, audio.ErrorMessage());
    rec.StopRecording();
    take();
    rec.StopRecording();
    EXPECT_EQ(rfNone, rec.CheckFault(GetTickCount()));

    // The device refuses a buffer handed back: the take is stopped there, with the platform's reason.
    take();
    TFakeWaveIn::AddResult = MMSYSERR_NOMEM;
    Deliver(rec, Pattern(8192, 2));
    PumpMessages();
    EXPECT_FALSE(rec.IsOpen());
    EXPECT_EQ(rfDeviceLost, rec.CheckFault(GetTickCount()));
    EXPECT_EQ(InText("Error adding input buffer", MMSYSERR_NOMEM), audio.ErrorMessage());
    ExpectTakeHolds(path, {Pattern(8192, 2)});
    DeleteFileA(path.c_str());
}

TEST(RecorderCallback, AWholeFileFromTwoMonoStreams)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    audio.SetBitsPerSample(rec, _16);
    audio.SetChannels(rec, Stereo);
    audio.SetSampleRate(rec, 44100);
    std::vector<std::uint8_t> l(1002), r(1002);
    for (int i = 0; i < 1002; ++i) {
        l[i] = static_cast<std::uint8_t>(i);
        r[i] = static_cast<std::uint8_t>(7 * i);
    }
    TMemoryStream left, right, shortRight;
    left.LoadFromBytes(l.data(), l.size());
    right.LoadFromBytes(r.data(), r.size());
    shortRight.LoadFromBytes(r.data(), 1001);
    std::string path = TempPath("streams.wav");
    rec.CreateWaveFile(path, &left, &right);
    EXPECT_FALSE(rec.FileOpen());
    std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    TWavInfo w = ParseWav(bytes);
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(2, w.Channels);
    EXPECT_EQ(44100u, w.SampleRate);
    EXPECT_EQ(176400u, w.AvgBytes);
    EXPECT_EQ(4, w.BlockAlign);
    EXPECT_EQ(16, w.Bits);
    EXPECT_EQ(2004u, w.DataSize);
    EXPECT_EQ(2040u, w.RiffSize);
    ASSERT_EQ(44u + 2004, bytes.size());
    bool interleaved = true;
    for (int f = 0; f < 501 && interleaved; ++f)
        interleaved = bytes[44 + 4 * f] == l[2 * f] && bytes[44 + 4 * f + 3] == r[2 * f + 1];
    EXPECT_TRUE(interleaved);
    // A right stream of another length is left out.
    rec.CreateWaveFile(path, &left, &shortRight);
    bytes = ReadWholeFile(path);
    EXPECT_EQ(1002u, ParseWav(bytes).DataSize);
    EXPECT_TRUE(std::equal(l.begin(), l.end(), bytes.begin() + 44));
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file is still open";
}

TEST(RecorderCallback, ASecondTakeStartsTheRingAfresh)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetTriggered(true);
    audio.SetNoSamples(1024);
    std::vector<std::uint8_t> buffer(1024);
    auto fill = [&](int take, int n) {
        for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(take * 64 + n * 8 + i % 8);
    };
    std::string path = TempPath("second.wav");
    std::vector<std::uint8_t> expected;
    for (int take = 1; take <= 2; ++take) {
        if (take == 2) {
            // A take never replaces a file, not even its own of before.
            try {
                rec.CreateWaveFile(path);
                ADD_FAILURE() << "an existing file was replaced";
            } catch (const EFCreateError& e) {
                EXPECT_EQ(unsigned(ERROR_FILE_EXISTS), e.ErrorCode);
            }
            EXPECT_FALSE(rec.FileOpen());
            EXPECT_EQ(44 + expected.size(), ReadWholeFile(path).size());
            DeleteFileA(path.c_str());
        }
        // The device is opened but not started, so only the buffers handed over here come back.
        rec.CreateWaveFile(path);
        ASSERT_TRUE(rec.OpenRecorder()) << audio.ErrorMessage();
        EXPECT_EQ(0, rec.DoneIndex()) << take;
        EXPECT_EQ(1, rec.AddIndex()) << take;
        EXPECT_EQ(0u, rec.BuffersDone()) << take;
        EXPECT_EQ(0, rec.LastPeak()) << take;  // the meter starts silent
        OpenForCallbacks(rec);
        expected.clear();
        for (int n = 0; n < (take == 1 ? 3 : 2); ++n) {
            fill(take, n);
            Deliver(rec, buffer);
            PumpMessages();  // each buffer goes back to the device
            expected.insert(expected.end(), buffer.begin(), buffer.end());
        }
        EXPECT_EQ(take == 1 ? 3 : 2, rec.DoneIndex());
        EXPECT_EQ(take == 1 ? 0 : 3, rec.AddIndex());
        EXPECT_EQ(take == 1 ? 3u : 2u, rec.BuffersDone());
        // With no callback under way the stop has nothing to wait for.
        const DWORD stopping = GetTickCount();
        EXPECT_TRUE(rec.StopRecording());
        EXPECT_LT(GetTickCount() - stopping, 2000u) << take;
        std::vector<std::uint8_t> file = ReadWholeFile(path);
        ASSERT_EQ(44 + expected.size(), file.size()) << take;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44)) << take;
    }
    DeleteFileA(path.c_str());
}

// What the platform reports for one line, asked control type by control type.
struct TLineFacts {
    MIXERLINEA Line{};
    DWORD Volume = 0xFFFF, Mute = 0xFFFF, Meter = 0xFFFF;
    LONG VolumeValues[2] = {}, MuteValue = 0;
};

TLineFacts AskLine(HMIXER mixer, DWORD destination, int source)
{
    TLineFacts f;
    f.Line.cbStruct = sizeof f.Line;
    f.Line.dwDestination = destination;
    f.Line.dwSource = source < 0 ? 0 : DWORD(source);
    auto obj = reinterpret_cast<HMIXEROBJ>(mixer);
    EXPECT_EQ(MMSYSERR_NOERROR, mixerGetLineInfoA(obj, &f.Line, MIXER_OBJECTF_HMIXER | (source < 0 ? MIXER_GETLINEINFOF_DESTINATION : MIXER_GETLINEINFOF_SOURCE)));
    auto control = [&](DWORD type, DWORD channels, DWORD& id, LONG* values) {
        MIXERCONTROLA c{};
        MIXERLINECONTROLSA request{};
        request.cbStruct = sizeof request;
        request.dwLineID = f.Line.dwLineID;
        request.dwControlType = type;
        request.cControls = 1;
        request.cbmxctrl = sizeof c;
        request.pamxctrl = &c;
        if (mixerGetLineControlsA(obj, &request, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
            return;
        LONG area[32] = {};
        MIXERCONTROLDETAILS d{};
        d.cbStruct = sizeof d;
        d.dwControlID = c.dwControlID;
        d.cChannels = channels;
        d.cbDetails = sizeof(LONG);
        d.paDetails = area;
        if (mixerGetControlDetailsA(obj, &d, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
            return;
        id = c.dwControlID;
        values[0] = area[0];
        if (channels > 1) values[1] = area[1];
    };
    LONG meter[2];
    control(MIXERCONTROL_CONTROLTYPE_VOLUME, f.Line.cChannels, f.Volume, f.VolumeValues);
    control(MIXERCONTROL_CONTROLTYPE_MUTE, 1, f.Mute, &f.MuteValue);
    control(MIXERCONTROL_CONTROLTYPE_PEAKMETER, f.Line.cChannels, f.Meter, meter);
    return f;
}

// Sets the two channels of a line's volume (stand-alone, through a handle of the test's own).
void SetVolume(DWORD control, LONG left, LONG right)
{
    HMIXER h = nullptr;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&h, 0, 0, 0, 0));
    LONG v[2] = {left, right};
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = control;
    d.cChannels = 2;
    d.cbDetails = sizeof(LONG);
    d.paDetails = v;
    EXPECT_EQ(MMSYSERR_NOERROR, mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(h), &d, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE));
    mixerClose(h);
}

// Line queries of one kind (destination or source) that fail.
DWORD g_refusedLineQuery = 0;
decltype(&mixerGetLineInfoA) g_realLineInfo = nullptr;
MMRESULT WINAPI RefuseLineInfo(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags)
{
    if ((flags & MIXER_GETLINEINFOF_QUERYMASK) == g_refusedLineQuery) return MMSYSERR_ERROR;
    return g_realLineInfo(mixer, line, flags);
}

UINT g_mixerCount = 0;
UINT WINAPI CountedMixers() { return g_mixerCount; }

// A control whose value cannot be read.
DWORD g_unreadableControl = 0;
decltype(&mixerGetControlDetailsA) g_realControlDetails = nullptr;
MMRESULT WINAPI RefuseControlDetails(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags)
{
    if (details->dwControlID == g_unreadableControl) return MMSYSERR_ERROR;
    return g_realControlDetails(mixer, details, flags);
}

TEST(Mixer, LinesControlsPeakAndChangeNotifications)
{
    // Two channels of different volume on the first destination, so that left and right can be told apart.
    TLineFacts before;
    {
        HMIXER h = nullptr;
        ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&h, 0, 0, 0, 0)) << "no mixer device";
        before = AskLine(h, 0, -1);
        mixerClose(h);
    }
    ASSERT_NE(0xFFFFu, before.Volume) << "the first destination has no volume control";
    ASSERT_EQ(2u, before.Line.cChannels);
    SetVolume(before.Volume, 0xC000, 0x4000);
    struct Restore {
        TLineFacts& f;
        ~Restore() { SetVolume(f.Volume, f.VolumeValues[0], f.VolumeValues[1]); }
    } restore{before};

    TAudio audio(nullptr);
    TMixerSettings& mixer = audio.Mixer();
    ASSERT_TRUE(mixer.Active());
    const TMixDetails* head = mixer.MixerLines();
    ASSERT_NE(nullptr, head);
    MIXERCAPSA caps{};
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetDevCapsA(0, &caps, sizeof caps));
    EXPECT_EQ(0xFFFF, head->Destination);
    EXPECT_EQ(0xFFFF, head->Source);
    EXPECT_EQ(caps.szPname, head->Name);
    EXPECT_EQ(0, head->Flags);
    EXPECT_EQ(0xFFFFu, head->VolumeControl);
    EXPECT_FALSE(head->Speakers);

    // Every destination, then its sources numbered from 1, each with what the platform says of its controls.
    const TMixDetails* e = head->Next.get();
    std::string listing;
    int entries = 0;
    for (DWORD d = 0; d < caps.cDestinations; ++d) {
        TLineFacts dest = AskLine(mixer.Handle(), d, -1);
        for (int s = -1; s < int(dest.Line.cConnections); ++s, ++entries) {
            TLineFacts f = s < 0 ? dest : AskLine(mixer.Handle(), d, s);
            ASSERT_NE(nullptr, e) << "line " << d << "," << s << " missing";
            SCOPED_TRACE(f.Line.szName);
            EXPECT_EQ(d, e->Destination);
            EXPECT_EQ(s + 1, e->Source);
            EXPECT_EQ(std::string(f.Line.szName), e->Name);
            EXPECT_EQ(dest.Line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, e->Speakers);
            EXPECT_EQ(f.Volume, e->VolumeControl);
            EXPECT_EQ(f.Mute, e->MuteControl);
            EXPECT_EQ(f.Meter, e->PeakMeterControl);
            const bool volume = f.Volume != 0xFFFF, mono = f.Line.cChannels == 1;
            EXPECT_EQ(std::uint16_t(f.VolumeValues[0]), e->VolumeLeft);
            EXPECT_EQ(volume && !mono ? std::uint16_t(f.VolumeValues[1]) : 0, e->VolumeRight);
            EXPECT_EQ(volume && mono, e->VolumeUniform);
            EXPECT_EQ((f.Mute == 0xFFFF ? 0x80 : 0) | (volume && mono ? 0x40 : 0), e->Flags);
            EXPECT_EQ(f.MuteValue != 0, e->Muted);
            EXPECT_EQ(volume || f.Mute != 0xFFFF, e->HasControls);
            EXPECT_EQ(f.Meter == 0xFFFF ? 0 : mono ? 1 : 2, e->MeterChannels);
            listing += " (" + std::to_string(e->Destination) + "," + std::to_string(e->Source) + " " + e->Name +
                       " volume " + std::to_string(e->VolumeLeft) + "/" + std::to_string(e->VolumeRight) + ")";
            e = e->Next.get();
        }
    }
    EXPECT_EQ(nullptr, e) << "more entries than lines";
    std::printf("[ mixer    ] %s:%s\n", head->Name.c_str(), listing.c_str());
    const TMixDetails* first = head->Next.get();
    EXPECT_NE(first->VolumeLeft, first->VolumeRight);

    // Lines without controls, appended by hand: numbered on from a line of the same destination.
    auto last = [&] {
        const TMixDetails* p = mixer.MixerLines();
        while (p->Next) p = p->Next.get();
        return p;
    };
    MIXERLINEA bare{};
    bare.cbStruct = sizeof bare;
    bare.dwDestination = 7;
    std::strcpy(bare.szName, "Bare");
    for (int n = 0; n < 3; ++n) {
        EXPECT_TRUE(mixer.AddMixerLine(bare, n == 1));
        EXPECT_EQ(7, last()->Destination);
        EXPECT_EQ(n, last()->Source);
        EXPECT_EQ("Bare", last()->Name);
        EXPECT_EQ(n == 1, last()->Speakers);
        EXPECT_EQ(0x80, last()->Flags);
        EXPECT_FALSE(last()->HasControls);
        EXPECT_EQ(0xFFFFu, last()->MuteControl);
    }
    int l = -7, r = -7;
    EXPECT_FALSE(mixer.ReadPeak(7, 1, l, r));  // no meter on that line
    EXPECT_FALSE(mixer.ReadPeak(8, 0, l, r));  // no such line
    EXPECT_EQ(-7, l);  // out values untouched when nothing was read
    EXPECT_EQ(-7, r);

    // The first destination once more as a line of one channel: one volume value for both.
    MIXERLINEA line = before.Line;
    line.dwDestination = 8;
    line.cChannels = 1;
    EXPECT_TRUE(mixer.AddMixerLine(line, false));
    EXPECT_EQ(before.Volume, last()->VolumeControl);
    EXPECT_TRUE(last()->VolumeUniform);
    EXPECT_EQ(0x40, last()->Flags);  // a mute control, and one channel
    EXPECT_EQ(0, last()->VolumeRight);
    {
        // With a peak meter (the volume control lent as one), as two channels and as one. Only the first line
        // with this address and a meter counts.
        TLentMeter meter;
        ASSERT_TRUE(meter.Active());
        line.cChannels = 2;
        EXPECT_TRUE(mixer.AddMixerLine(line, false));  // (8, 1)
        EXPECT_EQ(2, last()->MeterChannels);
        EXPECT_EQ(before.Volume, last()->PeakMeterControl);
        EXPECT_EQ(0xFFFFu, last()->VolumeControl);
        line.cChannels = 1;
        EXPECT_TRUE(mixer.AddMixerLine(line, false));  // (8, 2)
        EXPECT_EQ(1, last()->MeterChannels);
    }
    EXPECT_TRUE(mixer.ReadPeak(8, 1, l, r));
    EXPECT_EQ(first->VolumeLeft, std::uint16_t(l));
    EXPECT_EQ(first->VolumeRight, std::uint16_t(r));
    EXPECT_TRUE(mixer.ReadPeak(8, 2, l, r));
    EXPECT_EQ(first->VolumeLeft, std::uint16_t(l));
    EXPECT_EQ(l, r);
    mixer.SetActive(false);
    l = r = -7;
    EXPECT_FALSE(mixer.ReadPeak(8, 1, l, r));
    EXPECT_EQ(-7, l);
    mixer.SetActive(true);
    {
        // A mute control whose value cannot be read is not taken: the line has no mute control.
        TImportPatch refuse("winmm.dll", "mixerGetControlDetailsA", reinterpret_cast<void*>(&RefuseControlDetails));
        ASSERT_TRUE(refuse.Active());
        g_realControlDetails = refuse.Original<decltype(&mixerGetControlDetailsA)>();
        g_unreadableControl = before.Mute;
        MIXERLINEA unreadable = line;
        unreadable.dwDestination = 9;
        EXPECT_TRUE(mixer.AddMixerLine(unreadable, false));
        EXPECT_EQ(0xFFFFu, last()->MuteControl);
        EXPECT_EQ(0x80 | 0x40, last()->Flags);
    }

    // A change of a recorded volume or mute control: once with the raw parameters, once with its line.
    std::vector<std::pair<int, int>> events;
    SendMessageA(audio.NotifyWindow(), kMixerControlChange, 7, first->VolumeControl);  // nobody listens
    audio.OnMixerChange = [&](TObject* sender, std::uint16_t d, std::uint16_t s) {
        EXPECT_EQ(&mixer, sender);
        events.emplace_back(d, s);
    };
    SendMessageA(audio.NotifyWindow(), kMixerControlChange, 0x12345, first->VolumeControl);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(std::make_pair(0x2345, int(first->VolumeControl & 0xFFFF)), events[0]);
    EXPECT_EQ(std::make_pair(int(first->Destination), int(first->Source)), events[1]);
    const TMixDetails* muted = first;
    while (muted && muted->MuteControl == 0xFFFF) muted = muted->Next.get();
    ASSERT_NE(nullptr, muted);
    events.clear();
    SendMessageA(audio.NotifyWindow(), kMixerControlChange, 7, muted->MuteControl);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(std::make_pair(int(muted->Destination), int(muted->Source)), events[1]);
    // Any other control: the raw event only.
    events.clear();
    SendMessageA(audio.NotifyWindow(), kMixerControlChange, 7, 0x7777778);
    EXPECT_EQ(1u, events.size());
    // Inactive: nothing at all; other messages are not the mixer's.
    mixer.SetActive(false);
    events.clear();
    SendMessageA(audio.NotifyWindow(), kMixerControlChange, 7, first->VolumeControl);
    EXPECT_TRUE(events.empty());
    mixer.SetActive(true);
    SendMessageA(audio.NotifyWindow(), kMixerControlChange + 1, 7, first->VolumeControl);
    EXPECT_TRUE(events.empty());

    // Lines that cannot be read end the discovery: what was listed stays, the mixer is not made active.
    for (DWORD refused : {DWORD(MIXER_GETLINEINFOF_SOURCE), DWORD(MIXER_GETLINEINFOF_DESTINATION)}) {
        mixer.SetActive(false);
        audio.SetMixerDeviceID(50);
        g_refusedLineQuery = refused;
        TImportPatch patch("winmm.dll", "mixerGetLineInfoA", reinterpret_cast<void*>(&RefuseLineInfo));
        g_realLineInfo = patch.Original<decltype(&mixerGetLineInfoA)>();
        audio.SetMixerDeviceID(0);
        EXPECT_FALSE(mixer.Active()) << refused;
        int listed = 0;
        for (const TMixDetails* p = mixer.MixerLines(); p; p = p->Next.get()) ++listed;
        EXPECT_EQ(refused == MIXER_GETLINEINFOF_SOURCE ? 2 : 1, listed) << refused;
    }
    audio.SetMixerDeviceID(50);
    audio.SetMixerDeviceID(0);
    EXPECT_TRUE(mixer.Active());
    int listed = -1;
    for (const TMixDetails* p = mixer.MixerLines(); p; p = p->Next.get()) ++listed;
    EXPECT_EQ(entries, listed);

    // A machine without a mixer lists nothing; a machine with exactly one uses it.
    for (UINT count : {0u, 1u}) {
        mixer.SetActive(false);
        audio.SetMixerDeviceID(50);
        g_mixerCount = count;
        TImportPatch patch("winmm.dll", "mixerGetNumDevs", reinterpret_cast<void*>(&CountedMixers));
        audio.SetMixerDeviceID(0);
        EXPECT_EQ(count == 1, mixer.Active()) << count;
        EXPECT_EQ(count == 1, mixer.MixerLines() != nullptr) << count;
    }
}

// A source stream that tells where it was left when the player released it.
class TWatchedStream : public TMemoryStream {
public:
    explicit TWatchedStream(std::int64_t& finalPosition) : FFinal(finalPosition) {}
    ~TWatchedStream() override { FFinal = Position(); }

private:
    std::int64_t& FFinal;
};

std::unique_ptr<TMemoryStream> Source(std::size_t bytes, std::int64_t& finalPosition, std::int64_t start = 0)
{
    auto s = std::make_unique<TWatchedStream>(finalPosition);
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) data[i] = i % 2 ? 129 : 127;  // a quiet square wave
    s->LoadFromBytes(data.data(), data.size());
    s->SetPosition(start);
    return s;
}

struct TPlayCounts {
    int Played = 0, Ended = 0;
};

void CountPlayback(TAudio& audio, TPlayCounts& counts)
{
    audio.OnBufferPlayed = [&audio, &counts](TObject* sender) {
        EXPECT_EQ(&audio, sender);
        ++counts.Played;
    };
    audio.OnPlayed = [&audio, &counts](TObject* sender) {
        EXPECT_EQ(&audio.Player(), sender);
        ++counts.Ended;
    };
}

void PumpUntil(const std::function<bool()>& done, DWORD limit = 5000)
{
    for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < limit;) PumpMessages(10);
}

TEST(Player, BlocksLoopsAndTheEnd)
{
    TAudio audio(nullptr);
    TPlayer& player = audio.Player();
    ASSERT_NE(nullptr, player.WaveFormat()) << "no wave-output device";
    TPlayCounts counts;
    CountPlayback(audio, counts);

    // Shorter than a block (a single byte), played three times, one block each.
    std::int64_t left = -1;
    EXPECT_EQ(0, player.QueuedCount());
    ASSERT_TRUE(player.PlayStream(Source(1, left), 2));
    EXPECT_TRUE(player.IsOpen());
    EXPECT_FALSE(player.PlayStream(Source(1000, left), 0)) << "a second playback while one runs";
    PumpUntil([&] { return counts.Ended > 0; });
    EXPECT_EQ(3, counts.Played);
    EXPECT_EQ(1, counts.Ended);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(1u, player.Header(i)->dwBufferLength) << i;
    EXPECT_EQ(0, player.LoopCount());
    EXPECT_EQ(1, player.ReadPosition());
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(player.HasSource());
    EXPECT_EQ(0, player.QueuedCount());

    // Blocks of the buffer length, the last one shorter; the stream is left where its owner had it.
    counts = {};
    ASSERT_TRUE(player.PlayStream(Source(20000, left, 5), 0));
    PumpUntil([&] { return counts.Ended > 0; });
    EXPECT_EQ(3, counts.Played);
    EXPECT_EQ(1, counts.Ended);
    EXPECT_EQ(8192u, player.Header(0)->dwBufferLength);
    EXPECT_EQ(8192u, player.Header(1)->dwBufferLength);
    EXPECT_EQ(20000u - 2 * 8192, player.Header(2)->dwBufferLength);
    EXPECT_EQ(20000, player.ReadPosition());
    EXPECT_EQ(5, left);
    EXPECT_EQ(3, player.AddIndex());
    EXPECT_EQ(3, player.DoneIndex());

    player.StopPlayer();
    EXPECT_EQ("Player already closed", audio.ErrorMessage());
    audio.SetErrorMessage("");
    player.ClosePlayer();
    EXPECT_EQ("Player already closed", audio.ErrorMessage());
    EXPECT_EQ(1, counts.Ended);

    // Stopped in the middle: the rest is dropped, the device closed, the end reported once.
    counts = {};
    ASSERT_TRUE(player.PlayStream(Source(11025 * 5, left), 0));
    // One slot stays free: equal indices must keep meaning that nothing is queued.
    EXPECT_EQ(3, player.QueuedCount());
    EXPECT_EQ(3, player.AddIndex());
    PumpMessages(200);
    audio.SetErrorMessage("earlier");
    // While the stop waits for the device only the component's own window hears anything: what comes for
    // another window (a click, a timer) waits for the caller's loop.
    int elsewhere = 0;
    THiddenWindow other([&](UINT msg, WPARAM, LPARAM, LRESULT&) { return msg == WM_APP && ++elsewhere; });
    PostMessageA(other.Handle(), WM_APP, 0, 0);
    player.StopPlayer();
    EXPECT_EQ("", audio.ErrorMessage());
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(player.IsActive());
    EXPECT_FALSE(player.HasSource());
    EXPECT_EQ(1, counts.Ended);
    EXPECT_LT(counts.Played, 7);
    EXPECT_EQ(0, elsewhere);
    PumpMessages(100);
    EXPECT_EQ(1, counts.Ended);
    EXPECT_EQ(1, elsewhere);

    // The query alone leaves a playback alone (the log-off may still be cancelled); the end of the session
    // ends it, and so does the end of the component.
    counts = {};
    ASSERT_TRUE(player.PlayStream(Source(11025 * 5, left), 0));
    PumpMessages(100);
    EXPECT_EQ(TRUE, SendMessageA(audio.NotifyWindow(), WM_QUERYENDSESSION, 0, 0));
    EXPECT_TRUE(player.IsOpen());
    SendMessageA(audio.NotifyWindow(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(player.IsOpen());
    SendMessageA(audio.NotifyWindow(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(1, counts.Ended);
    {
        TPlayCounts ended;
        auto other = std::make_unique<TAudio>(nullptr);
        CountPlayback(*other, ended);
        ASSERT_TRUE(other->Player().PlayStream(Source(11025 * 5, left), 0));
        PumpMessages(100);
        other.reset();
        EXPECT_EQ(1, ended.Ended);
    }

    // A device that does not exist.
    audio.SetAudioDeviceID(9);
    EXPECT_FALSE(player.PlayStream(Source(1000, left), 0));
    EXPECT_EQ(OutText("Could not open the output device for playing: ", MMSYSERR_BADDEVICEID), audio.ErrorMessage());
    EXPECT_FALSE(player.IsOpen());
}

TEST(Player, EachFailingStepOfTheOutputDeviceStoresItsText)
{
    TAudio audio(nullptr);
    TPlayer& player = audio.Player();
    ASSERT_NE(nullptr, player.WaveFormat()) << "no wave-output device";
    TPlayCounts counts;
    CountPlayback(audio, counts);
    std::int64_t left = -1;
    {
        // A block the device refuses: a space and the platform's text; nothing is queued, so playback ends.
        auto p = Fail<TWriteOut>("waveOutWrite", 0, MMSYSERR_NOMEM);
        ASSERT_TRUE(player.PlayStream(Source(1000, left), 0));
        EXPECT_EQ(OutText("", MMSYSERR_NOMEM), audio.ErrorMessage());
        EXPECT_EQ(0, player.QueuedCount());
        EXPECT_EQ(0, player.AddIndex());
        PumpUntil([&] { return counts.Ended > 0; });
        EXPECT_EQ(1, counts.Ended);
        EXPECT_EQ(0, counts.Played);
        EXPECT_FALSE(player.IsOpen());
    }
    // The device cannot be closed: it stays open until a later attempt succeeds.
    const TFailing closing[] = {
        {[] { return Fail<TUnprepareOut>("waveOutUnprepareHeader", 0, MMSYSERR_NOMEM); },
         OutText("Error unpreparing header for playing: ", MMSYSERR_NOMEM)},
        {[] { return Fail<TCloseOut>("waveOutClose", 0, MMSYSERR_NOMEM); },
         OutText("Error closing output device: ", MMSYSERR_NOMEM)}};
    for (const auto& [fail, text] : closing) {
        counts = {};
        audio.SetErrorMessage("");
        {
            auto p = fail();
            ASSERT_TRUE(player.PlayStream(Source(1000, left), 0));
            PumpUntil([&] { return !audio.ErrorMessage().empty(); });
            EXPECT_EQ(text, audio.ErrorMessage());
            EXPECT_TRUE(player.IsOpen());
            EXPECT_EQ(0, counts.Ended);
        }
        player.ClosePlayer();
        EXPECT_FALSE(player.IsOpen());
        EXPECT_EQ(1, counts.Ended);
    }
    {
        counts = {};
        audio.SetNoSamples(1024);  // short blocks, so that the device soon plays out what it holds
        ASSERT_TRUE(player.PlayStream(Source(11025 * 5, left), 0));
        PumpMessages(100);
        auto p = Fail<TResetOut>("waveOutReset", 0, MMSYSERR_NOMEM);
        player.StopPlayer();
        EXPECT_EQ("Error in waveOutReset", audio.ErrorMessage());
        EXPECT_TRUE(player.IsOpen());
        EXPECT_FALSE(player.HasSource());
    }
    // The blocks still queued are played out; the first one handed back finds nothing more queued and
    // closes the device.
    auto queued = [&] {
        for (int i = 0; i < kRingSlots; ++i)
            if (player.Header(i)->dwFlags & WHDR_INQUEUE) return true;
        return false;
    };
    for (DWORD start = GetTickCount(); queued() && GetTickCount() - start < 5000;) Sleep(10);
    PumpUntil([&] { return !player.IsOpen(); });
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(1, counts.Ended);
}
