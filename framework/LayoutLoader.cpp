#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Layout.h"
#include "framework/Menus.h"

TLayoutLoader::TLayoutLoader(FileResolver resolveFile) : FResolveFile(std::move(resolveFile)) {}

void TLayoutLoader::Load(const TLayoutObject& root, TCustomForm* form)
{
    FLoaded.push_back(form);
    LoadObject(root, form, form);
    // References to components stored later in the layout are set once every component exists.
    auto fixups = std::move(FFixups);
    for (auto& f : fixups) Apply(f.component, f.prop, form, true);
}

void TLayoutLoader::LoadObject(const TLayoutObject& obj, TComponent* component, TCustomForm* form)
{
    if (component != form) component->SetName(obj.Name);
    for (const auto& prop : obj.Properties) Apply(component, prop, form, false);
    for (const auto& child : obj.Children) {
        TComponent* created = CreateComponentByClassName(child.ClassName, form);
        created->BeginLoading();
        FLoaded.push_back(created);
        created->SetName(child.Name);
        // Controls nested in a windowed control belong to it; menu items to their menu.
        if (auto* control = dynamic_cast<TControl*>(created))
            if (auto* parent = dynamic_cast<TWinControl*>(component)) control->SetParent(parent);
        if (auto* item = dynamic_cast<TMenuItem*>(created))
            if (auto* menu = dynamic_cast<TPopupMenu*>(component)) menu->Add(item);
        form->BindComponent(created);
        LoadObject(child, created, form);
    }
}

void TLayoutLoader::Apply(TComponent* component, const TLayoutProperty& prop, TCustomForm* form, bool deferred)
{
    TLayoutValue value = prop.Value;
    value.FindComponent = [form](const std::string& name) { return form->FindComponent(name); };
    auto where = [&] { return "Layout line " + std::to_string(prop.Line) + ": " + component->Name() + "." + prop.Name; };
    if (value.kind == TLayoutValue::kBinary) {
        value.Bytes = FResolveFile(value.Str);
    }
    if (prop.Name.size() > 2 && prop.Name.compare(0, 2, "On") == 0 && value.kind == TLayoutValue::kIdent) {
        const std::any* handler = form->FindHandler(value.Str);
        if (!handler) throw ELayoutError(where() + ": the form has no handler " + value.Str);
        value.Method = *handler;
    }
    try {
        if (!component->SetProperty(prop.Name, value))
            throw ELayoutError(where() + ": no such property");
    } catch (const EUnresolvedReference& e) {
        if (deferred) throw ELayoutError(where() + ": no component named " + value.Str);
        FFixups.push_back({component, prop});
    } catch (const ELayoutError& e) {
        if (std::string(e.what()).rfind("Layout line", 0) == 0) throw;
        throw ELayoutError(where() + ": " + e.what());
    } catch (const std::exception& e) {
        throw ELayoutError(where() + ": " + e.what());
    }
}
