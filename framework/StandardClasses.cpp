#include "framework/StandardClasses.h"

#include "framework/ExtCtrls.h"
#include "framework/ImgList.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

void RegisterStandardClasses()
{
    RegisterComponentClass<TLabel>("TLabel");
    RegisterComponentClass<TEdit>("TEdit");
    RegisterComponentClass<TButton>("TButton");
    RegisterComponentClass<TImage>("TImage");
    RegisterComponentClass<TTimer>("TTimer");
    RegisterComponentClass<TPanel>("TPanel");
    RegisterComponentClass<TPopupMenu>("TPopupMenu");
    RegisterComponentClass<TMenuItem>("TMenuItem");
    RegisterComponentClass<TImageList>("TImageList");
}
