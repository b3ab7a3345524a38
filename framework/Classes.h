// Components: ownership, removal notices, the loading state and published properties.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/SysUtils.h"

class TComponent;

// One property value as a window layout stores it.
struct TLayoutValue {
    enum Kind { kInteger, kFloat, kString, kIdent, kSet, kBinary };
    Kind kind = kInteger;
    long long Int = 0;
    double Float = 0;
    std::string Str;                  // string text, identifier, or the resource name of binary data
    std::vector<std::string> Items;   // members of a set
    std::vector<std::uint8_t> Bytes;  // binary data, read from the resource that Str names
    std::any Method;                  // for event properties: the handler the layout's root publishes
    std::function<TComponent*(const std::string&)> FindComponent;  // resolves component references

    long long AsInteger() const;
    int AsInt() const { return static_cast<int>(AsInteger()); }
    double AsFloat() const;
    bool AsBool() const;
    const std::string& AsString() const;
    const std::string& AsIdent() const;
    TColor AsColor() const;
    // An enumeration value by its name, names listing the values in ordinal order; case does not matter.
    template <class E> E AsEnum(std::initializer_list<const char*> names) const { return E(EnumOrdinal(names)); }
    int EnumOrdinal(std::initializer_list<const char*> names) const;  // ELayoutError for other names
    // The component a reference names; throws EUnresolvedReference while it does not exist yet.
    TComponent* AsComponent() const;
    // The event handler a layout binds; empty when the root publishes none of that name and type.
    template <class Event> Event AsEvent() const
    {
        if (const Event* e = std::any_cast<Event>(&Method)) return *e;
        throw ELayoutError("Handler '" + Str + "' has the wrong type");
    }
};

class EUnresolvedReference : public ELayoutError { using ELayoutError::ELayoutError; };

class TPersistent : public TObject {
public:
    // Assigns a published property from a layout; returns false when this class has no such property.
    virtual bool SetProperty(const std::string& name, const TLayoutValue& value) { return false; }
};

enum TComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2, csDesigning = 4, csReading = 8 };
enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return FName; }
    virtual void SetName(const std::string& value) { FName = value; }
    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(index); }
    TComponent* FindComponent(const std::string& name) const;
    unsigned ComponentState() const { return FComponentState; }
    bool Loading() const { return FComponentState & csLoading; }
    bool Destroying() const { return FComponentState & csDestroying; }
    bool Designing() const { return FComponentState & csDesigning; }

    // Asks that this component hear of AComponent's removal although it does not own it.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, newest first.
    void DestroyComponents();

    // Loading state: setters skip expensive work while it is on; Loaded ends it.
    void BeginLoading() { FComponentState |= csLoading; }
    virtual void Loaded() { FComponentState &= ~unsigned(csLoading); }
    void SetDesigning(bool value);

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    // Told when a component that this one owns or watches is inserted or removed.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    void MarkDestroying() { FComponentState |= csDestroying; }

private:
    void NotifyRemoval();

    std::string FName;
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    unsigned FComponentState = 0;
};

// Factories by class name, used by the layout loader.
using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
void RegisterComponentClass(const std::string& className, TComponentFactory factory);
TComponent* CreateComponentByClassName(const std::string& className, TComponent* owner);
template <class T> void RegisterComponentClass(const std::string& className)
{
    RegisterComponentClass(className, [](TComponent* owner) -> TComponent* { return new T(owner); });
}
