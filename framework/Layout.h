// Window layouts: the text format (pure) and the loader that builds components from it.
//
//   # comment
//   TForm1 Form1 {
//     Caption = "Tapewing"          strings in double quotes, \\ \" \n \t \xHH escapes
//     ClientWidth = 373             integers (also 0x hex), floats, identifiers (True, clTeal, bsDialog)
//     Font.Style = [fsBold]         sets; dotted names reach sub-objects
//     Icon = file("tapewing.ico")   binary data from a resource of that name
//     OnCreate = FormCreate         events name handlers the form publishes
//     TEdit Edit1 { Left = 186 }    nested objects: owned by the form, parented by the enclosing control
//   }
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/Classes.h"

struct TLayoutProperty {
    std::string Name;
    TLayoutValue Value;
    int Line = 0;
};

struct TLayoutObject {
    std::string ClassName;
    std::string Name;
    std::vector<TLayoutProperty> Properties;
    std::vector<TLayoutObject> Children;
    int Line = 0;
};

// Parses layout text; raises ELayoutError with the line number on a syntax error.
TLayoutObject ParseLayout(const std::string& text);
// Writes a layout back as text (the same format, used by tools).
std::string WriteLayout(const TLayoutObject& root);

class TCustomForm;

// Builds a form's components from a parsed layout. Binary values are fetched through resolveFile.
class TLayoutLoader {
public:
    using FileResolver = std::function<std::vector<std::uint8_t>(const std::string& name)>;
    explicit TLayoutLoader(FileResolver resolveFile);
    // Applies the root's properties to form and creates its children; the caller then runs Loaded.
    void Load(const TLayoutObject& root, TCustomForm* form);
    // Every component created or set, in order, for the end-of-loading step.
    const std::vector<TComponent*>& Loaded() const { return FLoaded; }

private:
    void LoadObject(const TLayoutObject& obj, TComponent* component, TCustomForm* form);
    void Apply(TComponent* component, const TLayoutProperty& prop, TCustomForm* form, bool deferred);

    FileResolver FResolveFile;
    std::vector<TComponent*> FLoaded;
    struct Fixup {
        TComponent* component;
        TLayoutProperty prop;
    };
    std::vector<Fixup> FFixups;
};
