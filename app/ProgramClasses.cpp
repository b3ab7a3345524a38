#include "app/ProgramClasses.h"

#include "audio/Audio.h"
#include "controls/dirtree/DirTree.h"
#include "controls/hemisphere/Hemibtn.h"
#include "controls/labels/URLLabel.h"
#include "controls/lcd/LCD_Lab.h"
#include "controls/tray/OneInstance.h"
#include "controls/tray/SysTray.h"
#include "framework/StandardClasses.h"

void RegisterProgramClasses()
{
    RegisterStandardClasses();
    RegisterTrayClasses();
    RegisterOneInstanceClasses();
    RegisterDirTreeClasses();
    RegisterLabelClasses();
    RegisterLCDClasses();
    RegisterHemisphereClasses();
    RegisterAudioClasses();
}
