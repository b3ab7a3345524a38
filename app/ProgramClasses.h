// Makes every component class that the program's window layouts name known to the layout loader.
#pragma once

void RegisterProgramClasses();
