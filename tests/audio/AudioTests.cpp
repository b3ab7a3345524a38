// The audio component without a live take: formats and rings, device selection, layouts, error texts, the
// capture callback driven by hand, the mixer and the player.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "audio/Audio.h"
#include "tests/audio/AudioTestSupport.h"

namespace {

std::string InText(const char* fixed, MMRESULT code)
{
    char text[512] = {};
    waveInGetErrorTextA(code, text, 255);
    return text[0] ? std::string(fixed) + " " + text : std::string(fixed);
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

int TakeBufferDoneMessages(TRecorder& rec)
{
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, rec.NotifyWindow(), kBufferDoneMessage, kBufferDoneMessage, PM_REMOVE)) ++n;
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

private:
    long FBudget;
};

}  // namespace

TEST(AudioSettings, FormatSettersRebuildBothDirections)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    TPlayer& play = audio.Player();
    EXPECT_EQ(Mono, rec.Channels());
    EXPECT_EQ(_8, rec.BitsPerSample());
    EXPECT_EQ(11025, rec.SampleRate());
    EXPECT_EQ(8192, rec.NoSamples());
    EXPECT_EQ(-1, audio.AudioDeviceID());
    ASSERT_NE(nullptr, rec.WaveFormat()) << "the test environment must provide a wave-input device";
    EXPECT_EQ(8192, rec.BufferBytes());

    play.SetChannels(Stereo);
    play.SetBitsPerSample(_16);
    play.SetSampleRate(44100);
    for (TAudioSettings* d : {static_cast<TAudioSettings*>(&rec), static_cast<TAudioSettings*>(&play)}) {
        EXPECT_EQ(Stereo, d->Channels());
        ASSERT_NE(nullptr, d->WaveFormat());
        EXPECT_EQ(176400u, d->WaveFormat()->nAvgBytesPerSec);
        EXPECT_EQ(32768, d->BufferBytes());
        EXPECT_EQ(reinterpret_cast<LPSTR>(d->Buffer(3)), d->Header(3)->lpData);
    }
    // The same value again rebuilds nothing.
    const WAVEFORMATEX* before = rec.WaveFormat();
    rec.SetChannels(Stereo);
    EXPECT_EQ(before, rec.WaveFormat());

    rec.SetSplitChannels(true);
    EXPECT_TRUE(rec.SplitChannels());
    rec.SetChannels(Mono);
    EXPECT_FALSE(rec.SplitChannels());
    rec.SetSplitChannels(true);
    EXPECT_FALSE(rec.SplitChannels());

    // With separate controls only the direction addressed changes.
    audio.SetSeparateCtrls(true);
    play.SetSampleRate(22050);
    EXPECT_EQ(22050, play.SampleRate());
    EXPECT_EQ(44100, rec.SampleRate());
}

TEST(AudioSettings, BuffersThatWouldWrapAreRefused)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetBitsPerSample(_16);
    rec.SetChannels(Stereo);
    rec.SetNoSamples(16383);
    EXPECT_EQ(65532, rec.BufferBytes());
    EXPECT_EQ(65532, audio.Player().BufferBytes());

    audio.SetErrorMessage("");
    rec.SetNoSamples(16384);  // 65,536 bytes would wrap to an empty buffer
    EXPECT_EQ(16383, rec.NoSamples());
    EXPECT_EQ(16383, audio.Player().NoSamples());
    EXPECT_EQ(65532, rec.BufferBytes());
    EXPECT_EQ(kBufferSizeRefused, audio.ErrorMessage());
    rec.SetNoSamples(0);
    EXPECT_EQ(16383, rec.NoSamples());

    // A format change that would take the same buffers past 16 bits is refused as well.
    rec.SetChannels(Mono);
    rec.SetNoSamples(20000);
    EXPECT_EQ(40000, rec.BufferBytes());
    audio.SetErrorMessage("");
    rec.SetChannels(Stereo);
    EXPECT_EQ(Mono, rec.Channels());
    EXPECT_EQ(Mono, audio.Player().Channels());
    EXPECT_EQ(kBufferSizeRefused, audio.ErrorMessage());
}

TEST(AudioComponent, DeviceSelectionVersionAndLayout)
{
    TAudio audio(nullptr);
    const WAVEFORMATEX* format = audio.Recorder().WaveFormat();
    audio.SetAudioDeviceID(12);
    EXPECT_EQ(-1, audio.AudioDeviceID());
    EXPECT_EQ(format, audio.Recorder().WaveFormat());  // unchanged value: nothing rebuilt
    audio.SetAudioDeviceID(9);
    EXPECT_EQ(9, audio.AudioDeviceID());
    EXPECT_NE(nullptr, audio.Recorder().WaveFormat());
    EXPECT_NE(nullptr, audio.Player().WaveFormat());
    audio.SetVersion("anything");
    EXPECT_EQ("4.1 (32bit)", audio.Version());

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
    EXPECT_EQ(44100, a->Player().SampleRate());
    EXPECT_EQ(0, a->Recorder().TrigLevel());
    EXPECT_FALSE(a->Recorder().Triggered());
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
    std::string bad = TempPath("no_such_dir\\take.wav");
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

    // An empty name creates nothing.
    rec.CreateWaveFile("");
    EXPECT_FALSE(rec.FileOpen());
}

TEST(RecorderCallback, TriggerSplitAndEmptyBuffers)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetBitsPerSample(_16);
    rec.SetChannels(Stereo);
    rec.SetSplitChannels(true);
    rec.SetTrigLevel(0);
    OpenForCallbacks(rec);
    TakeBufferDoneMessages(rec);

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
    EXPECT_EQ(1, TakeBufferDoneMessages(rec));

    // An empty buffer is neither delivered, handed back nor counted.
    Deliver(rec, {});
    EXPECT_EQ(1, rec.DoneIndex());
    EXPECT_EQ(0, TakeBufferDoneMessages(rec));

    // 32,768 bytes of stereo, left frame k = k, right = -k - 1: delivered split.
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
    EXPECT_EQ(8191, left[8191]);
    EXPECT_EQ(-8192, right[8191]);
    EXPECT_EQ(8192, rec.LastPeak());
    EXPECT_EQ(2, rec.DoneIndex());

    // Once triggered, even negative buffers are delivered; after stop nothing is.
    Deliver(rec, Samples16(16384, -3));
    EXPECT_EQ(2, calls);
    rec.StopRecording();
    Deliver(rec, stereo);
    EXPECT_EQ(2, calls);
    EXPECT_EQ(3, rec.DoneIndex());
    TakeBufferDoneMessages(rec);

    // 8-bit silence reaches a level of 128.
    TAudio audio8(nullptr);
    TRecorder& rec8 = audio8.Recorder();
    rec8.SetTrigLevel(128);
    OpenForCallbacks(rec8);
    Deliver(rec8, std::vector<std::uint8_t>(8192, 128));
    EXPECT_TRUE(rec8.Triggered());
    TakeBufferDoneMessages(rec8);
}

TEST(RecorderCallback, AppendingStopsAtTheLimitAndOnFailedWrites)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();  // 8-bit mono, 8,192-byte buffers
    rec.SetTriggered(true);
    OpenForCallbacks(rec);
    std::vector<std::uint8_t> buffer(8192, 200);

    // An empty name finishes the open file: later buffers no longer reach it.
    std::string earlier = TempPath("earlier.wav");
    rec.CreateWaveFile(earlier);
    Deliver(rec, buffer);
    rec.CreateWaveFile("");
    EXPECT_FALSE(rec.FileOpen());
    Deliver(rec, buffer);
    TWavInfo finished = ParseWav(ReadWholeFile(earlier));
    EXPECT_EQ(44u + 8192, finished.FileSize);
    EXPECT_EQ(8192u, finished.DataSize);
    EXPECT_EQ(8192u + 36, finished.RiffSize);
    EXPECT_TRUE(DeleteFileA(earlier.c_str())) << "the file is still open";

    // Small limit in place of 4 GiB - 1: the third buffer would pass it and is discarded.
    std::string path = TempPath("limit.wav");
    rec.CreateWaveFile(path);
    rec.SetFileSizeLimit(44 + 2 * 8192 + 100);
    for (int i = 0; i < 2; ++i) {
        Deliver(rec, buffer);
        TWavInfo w = ParseWav(ReadWholeFile(path));  // valid after every buffer
        EXPECT_EQ(w.FileSize - 8, w.RiffSize);
        EXPECT_EQ(8192u * (i + 1), w.DataSize);
    }
    audio.SetErrorMessage("");
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    PumpMessages();
    EXPECT_EQ(TRecorder::kSizeLimitText, audio.ErrorMessage());
    EXPECT_EQ(44u + 2 * 8192, ReadWholeFile(path).size());
    rec.FinishWaveFile();
    TWavInfo w = ParseWav(ReadWholeFile(path));
    EXPECT_EQ(2u * 8192, w.DataSize);
    EXPECT_EQ(w.FileSize - 8, w.RiffSize);
    DeleteFileA(path.c_str());

    // The disk fills up in the middle of the second buffer: it is cut off again, the header stays exact.
    rec.SetFileSizeLimit(kMaxWaveFileSize);
    std::string full = TempPath("full.wav");
    rec.SetStreamFactory([](const std::string& name) {
        return std::unique_ptr<TFileStream>(new TFullDiskStream(name, 44 + 8192 + 8 + 1000));
    });
    rec.CreateWaveFile(full);
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    PumpMessages();
    EXPECT_EQ(TRecorder::kWriteErrorText + SysErrorMessage(ERROR_DISK_FULL), audio.ErrorMessage());
    TWavInfo before = ParseWav(ReadWholeFile(full));
    EXPECT_EQ(44u + 8192, before.FileSize);
    EXPECT_EQ(8192u, before.DataSize);
    rec.StopRecording();
    TWavInfo after = ParseWav(ReadWholeFile(full));
    EXPECT_EQ(44u + 8192, after.FileSize);
    EXPECT_EQ(8192u, after.DataSize);
    EXPECT_EQ(8192u + 36, after.RiffSize);
    DeleteFileA(full.c_str());
    TakeBufferDoneMessages(rec);
}

TEST(RecorderCallback, NoAllocationAndHandlerErrorsReachTheMainThread)
{
    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetTriggered(true);
    rec.SetChannels(Stereo);
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
    g_displayedErrors.clear();
    Deliver(rec, buffer);
    Deliver(rec, buffer);
    EXPECT_TRUE(g_displayedErrors.empty());
    PumpMessages();
    ASSERT_EQ(1u, g_displayedErrors.size());
    EXPECT_EQ("handler failed", g_displayedErrors[0]);
    rec.StopRecording();
    EXPECT_EQ(8 * 8192u, ParseWav(ReadWholeFile(path)).DataSize);
    DeleteFileA(path.c_str());
}

TEST(Mixer, ListOrderPeakAndChangeNotifications)
{
    TAudio audio(nullptr);
    TMixerSettings& mixer = audio.Mixer();
    ASSERT_TRUE(mixer.Active()) << "no mixer device";
    const TMixDetails* head = mixer.MixerLines();
    ASSERT_NE(nullptr, head);
    EXPECT_EQ(0xFFFF, head->Destination);
    EXPECT_EQ(0xFFFF, head->Source);
    EXPECT_FALSE(head->Name.empty());
    // Destinations in order, each followed by its sources numbered from 1.
    int expectDest = 0, expectSource = 0;
    const TMixDetails* volumeLine = nullptr;
    std::string listing;
    for (const TMixDetails* e = head->Next.get(); e; e = e->Next.get()) {
        if (e->Destination != expectDest) {
            expectDest = e->Destination;
            expectSource = 0;
        }
        EXPECT_EQ(expectSource, e->Source);
        ++expectSource;
        EXPECT_TRUE(e->Flags & 0x80 || e->MuteControl != 0xFFFF);
        if (e->VolumeControl != 0xFFFF && !volumeLine) volumeLine = e;
        listing += " (" + std::to_string(e->Destination) + "," + std::to_string(e->Source) + " " + e->Name +
                   " meter " + std::to_string(e->MeterChannels) + ")";
    }
    std::printf("[ mixer    ] %s:%s\n", head->Name.c_str(), listing.c_str());
    int l = -7, r = -7;
    bool peak = mixer.ReadPeak(1, 0, l, r);
    std::printf("[ mixer    ] ReadPeak(1, 0) = %d\n", peak);
    if (!peak) {
        EXPECT_EQ(-7, l);  // out values untouched when nothing was read
    }

    std::vector<std::pair<int, int>> events;
    audio.OnMixerChange = [&](TObject* sender, std::uint16_t d, std::uint16_t s) {
        EXPECT_EQ(&mixer, sender);
        events.emplace_back(d, s);
    };
    if (volumeLine) {
        // What the platform reports for a real change is printed; the handling itself is checked below.
        MIXERCONTROLDETAILS_UNSIGNED v[2] = {{volumeLine->VolumeLeft}, {volumeLine->VolumeRight}};
        MIXERCONTROLDETAILS d{};
        d.cbStruct = sizeof d;
        d.dwControlID = volumeLine->VolumeControl;
        d.cChannels = volumeLine->VolumeUniform ? 1 : 2;
        d.cbDetails = sizeof v[0];
        d.paDetails = v;
        MMRESULT set = mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer.Handle()), &d,
                                              MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
        PumpMessages(200);
        std::printf("[ mixer    ] setting a volume: result %u, %zu change events\n", set, events.size());
        events.clear();
        SendMessageA(mixer.NotifyWindow(), kMixerControlChange, 0x12345, volumeLine->VolumeControl);
        ASSERT_EQ(2u, events.size());
        EXPECT_EQ(std::make_pair(0x2345, int(volumeLine->VolumeControl & 0xFFFF)), events[0]);
        EXPECT_EQ(std::make_pair(int(volumeLine->Destination), int(volumeLine->Source)), events[1]);
    }
    events.clear();
    SendMessageA(mixer.NotifyWindow(), kMixerControlChange, 7, 0x7777777);
    EXPECT_EQ(1u, events.size());
}

TEST(Player, ShortStreamLoopsAndEnds)
{
    TAudio audio(nullptr);
    TPlayer& player = audio.Player();
    ASSERT_NE(nullptr, player.WaveFormat()) << "no wave-output device";
    int played = 0, ended = 0;
    audio.OnBufferPlayed = [&](TObject* sender) {
        EXPECT_EQ(&audio, sender);
        ++played;
    };
    audio.OnPlayed = [&](TObject* sender) {
        EXPECT_EQ(&player, sender);
        ++ended;
    };
    auto source = std::make_unique<TMemoryStream>();
    std::vector<std::uint8_t> bytes(1000, 128);
    source->LoadFromBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(player.PlayStream(std::move(source), 2));
    for (DWORD start = GetTickCount(); !ended && GetTickCount() - start < 5000;) PumpMessages(20);
    EXPECT_EQ(3, played);
    EXPECT_EQ(1, ended);
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(player.HasSource());
    player.StopPlayer();
    EXPECT_EQ("Player already closed", audio.ErrorMessage());
}
