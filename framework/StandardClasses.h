#pragma once

// Makes the framework's own controls known to the layout loader by class name.
void RegisterStandardClasses();
