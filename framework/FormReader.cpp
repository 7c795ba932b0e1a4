#include "framework/FormReader.h"

#include "framework/FormTree.h"
#include "framework/FormValueReader.h"
#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"

#include <cstdint>
#include <limits>
#include <mutex>

using namespace form_detail;

namespace {

std::mutex& GlobalLock()
{
    static std::mutex m;
    return m;
}
TFindGlobalComponent& GlobalProc()
{
    static TFindGlobalComponent p;
    return p;
}

class TFormLoader {
public:
    TFormLoader(TComponent* root, const std::string& file) : Root(root), File(file) {}

    void Load(const TObjectNode& node)
    {
        try {
            CheckRootClass(node);
            MarkReading(Root);
            Guard(node.Line, [&] { Root->SetName(node.Name); });
            ReadBody(Root, node);
            ResolveFixups();
        } catch (...) {
            for (TComponent* c : Created)
                Unmark(c);
            Unmark(Root);
            throw;
        }
        Created.push_back(Root);
        for (TComponent* c : Created)
            c->Loaded();
        for (TComponent* c : Created)
            c->SetComponentState(c->ComponentState() - csReading);
    }

private:
    struct Fixup {
        TObject* Target;
        PPropInfo Prop;
        std::string Name;
        int Line;
    };

    [[noreturn]] void Error(int line, const std::string& message) { Fail(File, line, message); }

    // Runs f, turning any error it raises into one naming the file and line.
    template <class F> void Guard(int line, F&& f)
    {
        try {
            f();
        } catch (const EReadError& e) {
            if (e.Message.starts_with(File + "("))
                throw;
            Error(line, e.Message);
        } catch (const Exception& e) {
            Error(line, e.Message);
        } catch (const std::exception& e) {
            Error(line, e.what());
        }
    }

    static void MarkReading(TComponent* c)
    {
        c->SetComponentState(c->ComponentState() + TComponentState{csLoading, csReading});
    }
    static void Unmark(TComponent* c)
    {
        c->SetComponentState(c->ComponentState() - TComponentState{csLoading, csReading});
    }

    void CheckRootClass(const TObjectNode& node)
    {
        for (TClass c = Root->ClassType(); c; c = c->Parent)
            if (SameText(c->Name, node.ClassName))
                return;
        Error(node.Line, "Class " + node.ClassName + " does not match the root's class " +
                             Root->ClassName());
    }

    void ReadBody(TComponent* comp, const TObjectNode& node)
    {
        for (const TPropNode& p : node.Props)
            ApplyProperty(comp, p);
        for (const TObjectNode& child : node.Children)
            ReadChild(comp, child);
    }

    void ReadChild(TComponent* parent, const TObjectNode& node)
    {
        TClass cls = FindClass(node.ClassName);
        if (!cls)
            Error(node.Line, "Class " + node.ClassName + " not found");
        if (!cls->InheritsFrom(TComponent::StaticClassInfo()) || !cls->CreateComponent)
            Error(node.Line, "Class " + node.ClassName + " is not a component class");
        TComponent* comp = nullptr;
        Guard(node.Line, [&] { comp = cls->CreateComponent(Root); });
        MarkReading(comp);
        Created.push_back(comp);
        Guard(node.Line, [&] {
            comp->SetName(node.Name);
            if (const TPublishedField* f = FindPublishedField(Root->ClassType(), node.Name)) {
                TClass want = f->ClassFn();
                if (!comp->InheritsFrom(want))
                    throw EReadError("Field " + f->Name + " of " + Root->ClassName() +
                                     " holds a " + want->Name + ", not a " + comp->ClassName());
                f->Set(Root, comp);
            }
            if (comp->HasParent())
                comp->SetParentComponent(parent);
        });
        ReadBody(comp, node);
    }

    void ApplyProperty(TObject* obj, const TPropNode& p)
    {
        Guard(p.Line, [&] {
            TObject* target = obj;
            size_t start = 0;
            for (;;) {
                size_t dot = p.Path.find('.', start);
                std::string seg = p.Path.substr(start, dot == std::string::npos ? dot : dot - start);
                if (dot == std::string::npos) {
                    SetProperty(target, seg, p);
                    return;
                }
                PPropInfo sp = GetPropInfo(target, seg);
                if (!sp)
                    throw EReadError("Unknown property '" + p.Path + "' of class " +
                                     obj->ClassName());
                if (sp->PropType->Kind != tkClass)
                    throw EReadError("Property " + p.Path.substr(0, dot) + " is not an object");
                target = GetObjectProp(target, sp);
                if (!target)
                    throw EReadError("Property " + p.Path.substr(0, dot) + " holds no object");
                start = dot + 1;
            }
        });
    }

    void SetProperty(TObject* target, const std::string& name, const TPropNode& p)
    {
        PPropInfo prop = GetPropInfo(target, name);
        if (!prop) {
            if (auto* persistent = dynamic_cast<TPersistent*>(target)) {
                TValueReader reader(p.Value, name);
                persistent->DefineProperties(&reader);
                if (reader.Handled()) {
                    if (!reader.FullyRead())
                        throw EReadError("Invalid value of property " + p.Path);
                    return;
                }
            }
            throw EReadError("Unknown property '" + p.Path + "' of class " + target->ClassName());
        }
        SetValue(target, prop, p);
    }

    [[noreturn]] static void BadValue(const TPropNode& p)
    {
        throw EReadError("Invalid value for property " + p.Path);
    }

    void SetValue(TObject* target, PPropInfo prop, const TPropNode& p)
    {
        const TValueNode& v = p.Value;
        PTypeInfo type = prop->PropType;
        switch (type->Kind) {
        case tkInteger:
        case tkInt64: {
            int64_t n = 0;
            if (v.K == TValueNode::vInteger) {
                n = v.Int;
                // $80000005 is how a 32-bit signed value with the top bit is written in hex.
                if (v.Hex && type->Kind == tkInteger && type->Data.OrdType == otSLong &&
                    n > INT32_MAX && n <= static_cast<int64_t>(UINT32_MAX))
                    n = static_cast<int32_t>(static_cast<uint32_t>(n));
            } else if (v.K == TValueNode::vIdent || v.K == TValueNode::vString) {
                // A quoted name serves types whose names are not identifiers ('Ctrl+S').
                if (!IdentToInteger(type, v.Str, n))
                    throw EReadError("Invalid value '" + v.Str + "' for property " + p.Path +
                                     " of type " + type->Name());
            } else {
                BadValue(p);
            }
            if (type->Kind == tkInt64)
                SetInt64Prop(target, prop, n);
            else
                SetOrdProp(target, prop, n);
            return;
        }
        case tkChar:
        case tkWChar:
            if (v.K == TValueNode::vString && v.Str.size() == 1)
                SetOrdProp(target, prop, static_cast<unsigned char>(v.Str[0]));
            else if (v.K == TValueNode::vInteger)
                SetOrdProp(target, prop, v.Int);
            else
                BadValue(p);
            return;
        case tkEnumeration: {
            if (v.K != TValueNode::vIdent)
                BadValue(p);
            int64_t n = GetEnumValue(type, v.Str);
            if (n < 0)
                throw EReadError("Invalid enumeration name '" + v.Str + "' for property " +
                                 p.Path + " of type " + type->Name());
            SetOrdProp(target, prop, n);
            return;
        }
        case tkSet: {
            if (v.K != TValueNode::vSet)
                BadValue(p);
            PTypeInfo member = type->Data.CompType;
            int64_t bits = 0;
            for (const std::string& m : v.Names) {
                int64_t n = GetEnumValue(member, m);
                if (n < 0 || n > 31)
                    throw EReadError("Invalid set member '" + m + "' for property " + p.Path +
                                     " of type " + type->Name());
                bits |= int64_t{1} << n;
            }
            SetOrdProp(target, prop, bits);
            return;
        }
        case tkFloat:
            if (v.K == TValueNode::vFloat)
                SetFloatProp(target, prop, v.Float);
            else if (v.K == TValueNode::vInteger)
                SetFloatProp(target, prop, static_cast<long double>(v.Int));
            else
                BadValue(p);
            return;
        case tkString:
        case tkLString:
        case tkWString:
            if (v.K != TValueNode::vString)
                BadValue(p);
            SetStrProp(target, prop, v.Str);
            return;
        case tkVariant:
            if (v.K == TValueNode::vInteger)
                SetVariantProp(target, prop, Variant(v.Int));
            else if (v.K == TValueNode::vFloat)
                SetVariantProp(target, prop, Variant(static_cast<double>(v.Float)));
            else if (v.K == TValueNode::vString)
                SetVariantProp(target, prop, Variant(v.Str));
            else if (v.K == TValueNode::vIdent && SameText(v.Str, "True"))
                SetVariantProp(target, prop, Variant(true));
            else if (v.K == TValueNode::vIdent && SameText(v.Str, "False"))
                SetVariantProp(target, prop, Variant(false));
            else
                BadValue(p);
            return;
        case tkMethod:
            if (v.K != TValueNode::vIdent || v.Str.find('.') != std::string::npos)
                BadValue(p);
            MethodFixups.push_back({target, prop, v.Str, p.Line});
            return;
        case tkClass:
            SetClassValue(target, prop, p);
            return;
        default:
            throw EReadError("Property " + p.Path + " cannot be read");
        }
    }

    void SetClassValue(TObject* target, PPropInfo prop, const TPropNode& p)
    {
        const TValueNode& v = p.Value;
        if (v.K == TValueNode::vIdent) {
            if (SameText(v.Str, "nil")) {
                SetObjectProp(target, prop, nullptr);
                return;
            }
            TClass cls = GetObjectPropClass(prop);
            if (!cls || !cls->InheritsFrom(TComponent::StaticClassInfo()))
                throw EReadError("Property " + p.Path + " does not refer to a component");
            ReferenceFixups.push_back({target, prop, v.Str, p.Line});
            return;
        }
        TObject* sub = GetObjectProp(target, prop);
        if (v.K == TValueNode::vCollection) {
            auto* coll = dynamic_cast<TCollection*>(sub);
            if (!coll)
                throw EReadError("Property " + p.Path + " is not a collection");
            TUpdateScope<TCollection> scope(coll);
            coll->Clear();
            for (const TItemNode& item : v.CollItems) {
                TCollectionItem* it = coll->Add();
                for (const TPropNode& ip : item.Props)
                    ApplyProperty(it, ip);
            }
            return;
        }
        if (v.K == TValueNode::vList) {
            auto* strings = dynamic_cast<TStrings*>(sub);
            if (!strings)
                BadValue(p);
            TUpdateScope<TStrings> scope(strings);
            strings->Clear();
            for (const TValueNode& item : v.Items) {
                if (item.K != TValueNode::vString)
                    BadValue(p);
                strings->Add(item.Str);
            }
            return;
        }
        BadValue(p);
    }

    TComponent* FindReference(const std::string& name)
    {
        size_t dot = name.find('.');
        if (dot == std::string::npos)
            return SameText(name, Root->Name()) ? Root : Root->FindComponent(name);
        std::string head = name.substr(0, dot), tail = name.substr(dot + 1);
        if (tail.find('.') != std::string::npos)
            return nullptr;
        TComponent* owner = SameText(head, Root->Name()) ? Root : FindGlobalComponent(head);
        return owner ? owner->FindComponent(tail) : nullptr;
    }

    void ResolveFixups()
    {
        for (const Fixup& f : ReferenceFixups)
            Guard(f.Line, [&] {
                TComponent* c = FindReference(f.Name);
                if (!c)
                    throw EReadError("Unknown component reference '" + f.Name + "'");
                TClass want = GetObjectPropClass(f.Prop);
                if (want && !c->InheritsFrom(want))
                    throw EReadError("Component " + f.Name + " is a " + c->ClassName() +
                                     ", property " + f.Prop->Name + " needs a " + want->Name);
                SetObjectProp(f.Target, f.Prop, c);
            });
        for (const Fixup& f : MethodFixups)
            Guard(f.Line, [&] {
                TMethod m = MethodAddress(Root, f.Name);
                if (!m.Assigned())
                    throw EReadError("Unknown handler '" + f.Name + "': " + Root->ClassName() +
                                     " has no published method of that name");
                const std::type_info* want = f.Prop->PropType->Data.Signature;
                if (want && m.Signature && *want != *m.Signature)
                    throw EReadError("Handler " + f.Name + " has the wrong signature for " +
                                     f.Prop->Name);
                SetMethodProp(f.Target, f.Prop, m);
            });
    }

    TComponent* Root;
    const std::string& File;
    std::vector<TComponent*> Created;
    std::vector<Fixup> ReferenceFixups;
    std::vector<Fixup> MethodFixups;
};

} // namespace

void ReadComponentFromText(TComponent* Root, const std::string& Text, const std::string& FileName)
{
    if (!Root)
        throw EReadError(FileName + ": no component to read into");
    TObjectNode node = ParseFormDescription(Text, FileName);
    TFormLoader(Root, FileName).Load(node);
}

void ReadComponentResource(TComponent* Root, const std::string& ResourceName)
{
    std::optional<TResourceData> res = FindResource(ResourceName);
    if (!res)
        throw EResNotFound("Resource " + ResourceName + " not found");
    ReadComponentFromText(Root, std::string(res->Text()), res->Name + ".qfm");
}

std::string FormDescriptionClassName(const std::string& Text, const std::string& FileName)
{
    return ParseFormDescriptionClass(Text, FileName);
}

void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc)
{
    std::lock_guard<std::mutex> g(GlobalLock());
    GlobalProc() = std::move(Proc);
}

TComponent* FindGlobalComponent(const std::string& Name)
{
    TFindGlobalComponent proc;
    {
        std::lock_guard<std::mutex> g(GlobalLock());
        proc = GlobalProc();
    }
    return proc ? proc(Name) : nullptr;
}
