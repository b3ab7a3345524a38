#include "framework/Classes.h"

#include <algorithm>

long long TLayoutValue::AsInteger() const
{
    if (kind == kInteger) return Int;
    throw ELayoutError("Integer expected, found '" + Str + "'");
}

double TLayoutValue::AsFloat() const
{
    if (kind == kFloat) return Float;
    if (kind == kInteger) return static_cast<double>(Int);
    throw ELayoutError("Number expected, found '" + Str + "'");
}

bool TLayoutValue::AsBool() const
{
    if (kind == kIdent) {
        if (SameText(Str, "true")) return true;
        if (SameText(Str, "false")) return false;
    }
    throw ELayoutError("True or False expected, found '" + Str + "'");
}

const std::string& TLayoutValue::AsString() const
{
    if (kind == kString) return Str;
    throw ELayoutError("String expected");
}

const std::string& TLayoutValue::AsIdent() const
{
    if (kind == kIdent) return Str;
    throw ELayoutError("Identifier expected");
}

int TLayoutValue::EnumOrdinal(std::initializer_list<const char*> names) const
{
    const std::string& ident = AsIdent();
    auto it = std::find_if(names.begin(), names.end(), [&](const char* name) { return SameText(ident, name); });
    if (it == names.end()) throw ELayoutError("Invalid property value " + ident);
    return static_cast<int>(it - names.begin());
}

TColor TLayoutValue::AsColor() const
{
    if (kind == kInteger) return static_cast<TColor>(Int);
    TColor color;
    if (kind == kIdent && IdentToColor(Str, color)) return color;
    throw ELayoutError("Colour expected, found '" + Str + "'");
}

TComponent* TLayoutValue::AsComponent() const
{
    if (kind != kIdent) throw ELayoutError("Component name expected");
    if (SameText(Str, "nil") || SameText(Str, "none")) return nullptr;
    TComponent* found = FindComponent ? FindComponent(Str) : nullptr;
    if (!found) throw EUnresolvedReference(Str);
    return found;
}

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    MarkDestroying();
    NotifyRemoval();
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::NotifyRemoval()
{
    // Watchers first, then the owner's other components, so that no one keeps a dangling reference.
    auto watchers = FFreeNotifies;
    FFreeNotifies.clear();
    for (TComponent* w : watchers) {
        w->RemoveFreeNotification(this);
        if (!w->Destroying()) w->Notification(this, opRemove);
    }
    if (FOwner && !FOwner->Destroying()) FOwner->Notification(this, opRemove);
}

void TComponent::DestroyComponents()
{
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        RemoveComponent(last);
        delete last;
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->Name(), name)) return c;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this) return;
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    std::erase(FFreeNotifies, AComponent);
    std::erase(AComponent->FFreeNotifies, this);
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    AComponent->FOwner = nullptr;
    if (!Destroying()) {
        for (TComponent* c : FComponents) c->Notification(AComponent, opRemove);
    }
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {}

void TComponent::SetDesigning(bool value)
{
    if (value)
        FComponentState |= csDesigning;
    else
        FComponentState &= ~unsigned(csDesigning);
}

bool TComponent::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Name") {
        SetName(value.AsString());
        return true;
    }
    if (name == "Tag") return true;
    return false;
}

static std::map<std::string, TComponentFactory>& Factories()
{
    static std::map<std::string, TComponentFactory> factories;
    return factories;
}

void RegisterComponentClass(const std::string& className, TComponentFactory factory)
{
    Factories()[UpperCase(className)] = std::move(factory);
}

TComponent* CreateComponentByClassName(const std::string& className, TComponent* owner)
{
    auto it = Factories().find(UpperCase(className));
    if (it == Factories().end()) throw ELayoutError("Class " + className + " not found");
    return it->second(owner);
}
