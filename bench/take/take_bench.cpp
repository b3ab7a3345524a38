// The main job's costs, measured in one process against a same-run baseline:
//  - tray click to the recorder's start: from TrayIconClick to the return of StartRecording (our own work;
//    the platform's capture latency comes after it);
//  - CPU per recorded minute of the whole program (recording window, timer, LCD, meter, recorder) against a
//    bare wave-input recorder that only appends buffers to a file;
//  - private memory while recording against idle.
//   take_bench.exe [seconds per recording = 10]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ProgramClasses.h"
#include "app/Unit1.h"
#include "app/form_rec.h"
#include "controls/tray/SysTray.h"
#include "framework/Forms.h"

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto secs = [](const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7; };
    return secs(kernel) + secs(user);
}

double PrivateKB()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    // Wine leaves PrivateUsage at 0; the commit charge is the same figure there.
    return (pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage) / 1024.0;
}

void RunFor(double seconds)
{
    const double end = Now() + seconds;
    while (Now() < end) {
        Application->ProcessMessages();
        Sleep(5);
    }
}

// The baseline: wave input with the same ring (four 32 KB buffers, 16-bit stereo 44,100 Hz), each filled
// buffer appended to a file from the callback and handed back on the main thread.
struct TBareRecorder {
    HWAVEIN In = nullptr;
    HANDLE File = INVALID_HANDLE_VALUE;
    WAVEHDR Headers[4] = {};
    std::vector<char> Data = std::vector<char>(4 * 32768);
    DWORD MainThread = GetCurrentThreadId();
    volatile bool Active = false;

    static void CALLBACK Callback(HWAVEIN, UINT msg, DWORD_PTR inst, DWORD_PTR p1, DWORD_PTR) noexcept
    {
        auto* self = reinterpret_cast<TBareRecorder*>(inst);
        if (msg != WIM_DATA || !self->Active) return;
        auto* h = reinterpret_cast<WAVEHDR*>(p1);
        DWORD written = 0;
        WriteFile(self->File, h->lpData, h->dwBytesRecorded, &written, nullptr);
        PostThreadMessageA(self->MainThread, WM_APP, 0, reinterpret_cast<LPARAM>(h));
    }
    bool Start(const std::string& path)
    {
        WAVEFORMATEX f = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        File = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (waveInOpen(&In, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(&Callback), reinterpret_cast<DWORD_PTR>(this),
                       CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
            return false;
        for (int i = 0; i < 4; ++i) {
            Headers[i].lpData = Data.data() + i * 32768;
            Headers[i].dwBufferLength = 32768;
            waveInPrepareHeader(In, &Headers[i], sizeof(WAVEHDR));
            waveInAddBuffer(In, &Headers[i], sizeof(WAVEHDR));
        }
        Active = true;
        return waveInStart(In) == MMSYSERR_NOERROR;
    }
    void Pump(double seconds)
    {
        const double end = Now() + seconds;
        MSG msg;
        while (Now() < end) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_APP && Active)
                    waveInAddBuffer(In, reinterpret_cast<WAVEHDR*>(msg.lParam), sizeof(WAVEHDR));
                else
                    DispatchMessageA(&msg);
            }
            Sleep(5);
        }
    }
    void Stop()
    {
        Active = false;
        waveInReset(In);
        for (auto& h : Headers) waveInUnprepareHeader(In, &h, sizeof(WAVEHDR));
        waveInClose(In);
        CloseHandle(File);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    TApplication application;
    TScreen screen;
    RegisterProgramClasses();
    Application->Initialize();
    Application->SetTitle("Tape Wing bench");
    Application->ShowMainForm = false;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "tw_take_bench\\";
    CreateDirectoryA(folder.c_str(), nullptr);

    auto* main = Application->CreateForm<TForm1>();
    main->TrayIcon->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    auto* rec = Application->CreateForm<TForm2>();
    main->Edit1->SetText(folder);
    main->Edit2->SetText("bench");
    main->RecordTake = [rec](const std::string& path) { return rec->RecordTake(path); };

    // Baseline first, so its device start-up warms the platform for both.
    TBareRecorder bare;
    const std::string barePath = folder + "bare.raw";
    double cpu0 = CpuSeconds();
    if (!bare.Start(barePath)) {
        std::printf("no wave input device\n");
        return 1;
    }
    bare.Pump(seconds);
    bare.Stop();
    const double bareCpu = CpuSeconds() - cpu0;
    DeleteFileA(barePath.c_str());

    RunFor(1.0);
    const double idleKB = PrivateKB();
    double clickToStart = 0, programCpu = 0, recordingKB = 0;
    double clickTime = 0;
    rec->OnShow = [&](TObject* sender) {
        rec->FormShow(sender);  // creates the file and starts the recorder
        clickToStart = Now() - clickTime;
        const double c0 = CpuSeconds();
        RunFor(seconds);
        programCpu = CpuSeconds() - c0;
        recordingKB = PrivateKB();
        rec->HBtnStopClick(rec);
    };
    clickTime = Now();
    main->TrayIconClick(main->TrayIcon);
    DeleteFileA((folder + "bench1.wav").c_str());
    RemoveDirectoryA(folder.c_str());

    std::printf("tray click to recorder started: %.1f ms (target <= 50 ms of our own)\n", clickToStart * 1000);
    std::printf("CPU per recorded minute: program %.2f s, bare recorder %.2f s, ratio %.2f (target <= 1.2)\n",
                programCpu * 60 / seconds, bareCpu * 60 / seconds, bareCpu > 0 ? programCpu / bareCpu : 0.0);
    std::printf("private memory: idle %.0f KB, recording %.0f KB, difference %.0f KB\n", idleKB, recordingKB,
                recordingKB - idleKB);
    delete rec;
    delete main;
    return 0;
}
