// The recording window: shown modally for each take, it creates the take file, runs the recorder, shows the
// elapsed time and the input level, and ends the take with Stop (keep) or Cancel (delete).
#pragma once

#include <memory>
#include <string>

#include "app/TakeClock.h"
#include "app/TakeResult.h"
#include "audio/Audio.h"
#include "controls/hemisphere/Hemibtn.h"
#include "controls/lcd/LCD_Lab.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/ImgList.h"

class TForm2 : public TForm {
public:
    explicit TForm2(TComponent* AOwner);
    ~TForm2() override;

    TImage* Image1 = nullptr;
    TLCDLabel* LCDLabel1 = nullptr;
    THemisphereButton* HbtnCancel = nullptr;
    THemisphereButton* HBtnStop = nullptr;
    TImage* Image2 = nullptr;
    TTimer* Timer1 = nullptr;
    TAudio* Audio1 = nullptr;
    TImageList* ImageList1 = nullptr;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void Timer1Timer(TObject* Sender);
    void HBtnStopClick(TObject* Sender);
    void HbtnCancelClick(TObject* Sender);
    void FormDestroy(TObject* Sender);

    // Records one take into path: shows the window modally until Stop or Cancel ends the take, or until it
    // turns out that it cannot start.
    TTakeResult RecordTake(const std::string& path);
    // The take file; set by RecordTake, or by a test that shows the window without a modal loop.
    void SetTakeFileName(const std::string& path) { FTakeFileName = path; }
    // The meter image shown, -1 before the first.
    int MeterImage() const { return FMeterImage; }

    void WndProc(TMessage& Message) override;

private:
    // Modal results besides Stop's mrOk and Cancel's mrCancel.
    static constexpr TModalResult mrStartFailed = mrAbort, mrNameTaken = mrRetry;

    // Draws image index of the list into the meter bitmap and shows it; other indexes keep the picture.
    void ShowMeterImage(int index);
    // This tick's left and right peaks: the mixer's peak meter, or, where the mixer has none, the peak of the
    // most recently captured buffer.
    void ReadLevel(int& left, int& right);
    // Ends a take that never got going: no file is left, the window closes, the launch shows cause.
    void FailStart(const std::string& cause);
    // The sound or the file failed during the take: the file keeps what was recorded, the clock shows its
    // length, and the user is told; Stop or Cancel then end the take as always.
    void EndBrokenTake(TRecordFault fault);

    TTakeClock Clock;
    std::int32_t CurrentLevel = 0;
    std::int32_t PreviousLevel = kInitialMeterLevel;
    int FMeterImage = -1;
    std::unique_ptr<TBitmap> MeterBitmap;
    // Set by Stop and Cancel (and by a take that could not start): only they end a take, so only they may
    // close the window.
    bool FTakeEnded = false;
    std::string FTakeFileName;
    std::string FStartFailure;
};
