#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Classes.h"

namespace {

// Records what reaches it, into a log that outlives it.
struct Log {
    std::vector<std::string> lines;
};

class TProbe : public TComponent {
    QM_CLASS(TProbe, TComponent)
public:
    TProbe(TComponent* AOwner, Log* log = nullptr, const std::string& name = {})
        : TComponent(AOwner), FLog(log)
    {
        if (!name.empty())
            SetName(name);
    }
    TComponent* Watched = nullptr;
    void Watch(TComponent* c)
    {
        Watched = c;
        if (c)
            c->FreeNotification(this);
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (FLog)
            FLog->lines.push_back(Name() + (Operation == opInsert ? " +" : " -") +
                                  (AComponent ? AComponent->Name() : std::string("?")));
        if (Operation == opRemove && AComponent == Watched)
            Watched = nullptr;
    }
    void BeforeDestroy() override
    {
        if (FLog)
            FLog->lines.push_back(Name() + " destroying " +
                                  (IsDestroying() ? "marked" : "unmarked"));
    }

private:
    Log* FLog;
};

QM_CLASS_IMPL(TProbe, TComponent)

bool Contains(const Log& log, const std::string& line)
{
    return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
}

} // namespace

TEST(ComponentTest, OwnerFreesOwnedComponentsLastFirst)
{
    Log log;
    auto* owner = new TProbe(nullptr, &log, "Owner");
    new TProbe(owner, &log, "A");
    new TProbe(owner, &log, "B");
    ASSERT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1)->Name(), "B");
    EXPECT_EQ(owner->Components(1)->ComponentIndex(), 1);
    EXPECT_THROW(owner->Components(2), EListError);
    log.lines.clear();
    owner->Free();
    // BeforeDestroy of the owner first, while everything is still there; then B, then A.
    ASSERT_GE(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "Owner destroying marked");
    auto posB = std::find(log.lines.begin(), log.lines.end(), "B destroying marked");
    auto posA = std::find(log.lines.begin(), log.lines.end(), "A destroying marked");
    ASSERT_NE(posB, log.lines.end());
    ASSERT_NE(posA, log.lines.end());
    EXPECT_LT(posB, posA);
    // A heard of B's removal from the owner before its own turn came.
    EXPECT_TRUE(Contains(log, "A -B"));
}

TEST(ComponentTest, NamesAreUniquePerOwnerIgnoringCase)
{
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("Button1");
    try {
        b->SetName("BUTTON1");
        FAIL() << "duplicate accepted";
    } catch (const EComponentError& e) {
        EXPECT_STREQ(e.what(), "A component named BUTTON1 already exists");
    }
    EXPECT_EQ(b->Name(), "");
    a->SetName("BUTTON1"); // renaming itself in another case is fine
    EXPECT_EQ(a->Name(), "BUTTON1");
    b->SetName(""); // empty names never clash
    auto* c = new TComponent(&owner);
    c->SetName("");
    // Another owner's names do not matter.
    TComponent other(nullptr);
    auto* d = new TComponent(&other);
    d->SetName("Button1");
    for (const char* bad : {"1abc", "a b", "a-b", " x", "é"}) {
        try {
            c->SetName(bad);
            FAIL() << bad;
        } catch (const EComponentError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid component name");
        }
    }
    c->SetName("_ok9");
    EXPECT_EQ(owner.FindComponent("_OK9"), c);
    EXPECT_EQ(owner.FindComponent("button1"), a);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    EXPECT_EQ(owner.FindComponent("nothing"), nullptr);
}

TEST(ComponentTest, InsertingIntoAnOwnerWithTheSameNameFails)
{
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    a->SetName("Edit1");
    TComponent loose(nullptr);
    loose.SetName("EDIT1");
    EXPECT_THROW(owner.InsertComponent(&loose), EComponentError);
    EXPECT_EQ(loose.Owner(), nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(ComponentTest, OwnerSendsInsertAndRemoveToAllItsComponents)
{
    Log log;
    TProbe owner(nullptr, &log, "Owner");
    auto* a = new TProbe(&owner, &log, "A");
    auto* b = new TProbe(&owner, &log, "B");
    log.lines.clear();
    auto* c = new TProbe(&owner, &log);
    // c has no name yet at insertion; its siblings heard of it.
    EXPECT_TRUE(Contains(log, "A +"));
    EXPECT_TRUE(Contains(log, "B +"));
    EXPECT_TRUE(Contains(log, "Owner +"));
    c->SetName("C");
    log.lines.clear();
    b->Free();
    EXPECT_TRUE(Contains(log, "Owner -B"));
    EXPECT_TRUE(Contains(log, "A -B"));
    EXPECT_TRUE(Contains(log, "C -B"));
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.FindComponent("B"), nullptr);
    // Removing without freeing also notifies, and the component keeps living.
    log.lines.clear();
    owner.RemoveComponent(a);
    EXPECT_TRUE(Contains(log, "C -A"));
    EXPECT_EQ(a->Owner(), nullptr);
    a->Free();
}

TEST(ComponentTest, FreeNotificationWorksBothWays)
{
    Log log;
    auto* x = new TProbe(nullptr, &log, "X");
    auto* y = new TProbe(nullptr, &log, "Y");
    x->Watch(y);
    y->Watch(x);
    EXPECT_TRUE(x->ComponentState().Contains(csFreeNotification));
    EXPECT_EQ(x->FreeNotifies().size(), 1u);
    EXPECT_EQ(y->FreeNotifies().size(), 1u);
    y->Free();
    EXPECT_EQ(x->Watched, nullptr);
    EXPECT_TRUE(x->FreeNotifies().empty());
    EXPECT_FALSE(x->ComponentState().Contains(csFreeNotification));
    x->Free();

    // The other order, and across owners.
    auto* formA = new TComponent(nullptr);
    auto* formB = new TComponent(nullptr);
    auto* p = new TProbe(formA, &log, "P");
    auto* q = new TProbe(formB, &log, "Q");
    p->Watch(q);
    q->Watch(p);
    formA->Free(); // frees p: q must forget it
    EXPECT_EQ(q->Watched, nullptr);
    EXPECT_TRUE(q->FreeNotifies().empty());

    // RemoveFreeNotification unlinks both sides.
    auto* r = new TProbe(formB, &log, "R");
    auto* s = new TProbe(nullptr, &log, "S");
    r->FreeNotification(s);
    s->RemoveFreeNotification(r);
    EXPECT_TRUE(r->FreeNotifies().empty());
    EXPECT_TRUE(s->FreeNotifies().empty());
    s->Free();
    formB->Free();
}

TEST(ComponentTest, DestructionInEitherOrderLeavesNoDanglingPointer)
{
    // Run under the address sanitizer: any stale pointer use shows as an error.
    for (int order = 0; order < 2; ++order) {
        Log log;
        auto* owner = new TProbe(nullptr, &log, "Owner");
        auto* a = new TProbe(owner, &log, "A");
        auto* b = new TProbe(owner, &log, "B");
        auto* outside = new TProbe(nullptr, &log, "Outside");
        a->Watch(b);
        b->Watch(a);
        outside->Watch(a);
        a->Watch(outside);
        if (order == 0) {
            a->Free();
            EXPECT_EQ(b->Watched, nullptr);
            EXPECT_EQ(outside->Watched, nullptr);
            owner->Free();
            outside->Free();
        } else {
            outside->Free();
            EXPECT_EQ(a->Watched, nullptr);
            owner->Free();
        }
    }
}

TEST(ComponentTest, DirectDeleteStillUnlinks)
{
    Log log;
    auto* owner = new TProbe(nullptr, &log, "Owner");
    auto* a = new TProbe(owner, &log, "A");
    new TProbe(a, &log, "Child");
    auto* watcher = new TProbe(nullptr, &log, "W");
    watcher->Watch(a);
    delete a; // no Free: the destructor does the unlinking
    EXPECT_EQ(owner->ComponentCount(), 0);
    EXPECT_EQ(watcher->Watched, nullptr);
    EXPECT_TRUE(watcher->FreeNotifies().empty());
    // The derived hook is not reachable from a plain delete.
    EXPECT_FALSE(Contains(log, "A destroying marked"));
    delete owner;
    watcher->Free();
}

TEST(ComponentTest, LoadedClearsLoadingAndDestroyingMarksChildren)
{
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    a->Loading();
    EXPECT_TRUE(a->IsLoading());
    a->Loaded();
    EXPECT_FALSE(a->IsLoading());
    EXPECT_FALSE(a->ComponentState().Contains(csLoading));
    owner.SetComponentState({csDesigning});
    auto* b = new TComponent(&owner);
    EXPECT_TRUE(b->IsDesigning()); // inherited from the owner on insertion
    owner.Destroying();
    EXPECT_TRUE(a->IsDestroying());
    EXPECT_TRUE(b->IsDestroying());
}

TEST(ComponentTest, NamePathAndComponentIndex)
{
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("First");
    EXPECT_EQ(a->GetNamePath(), "First");
    b->SetComponentIndex(0);
    EXPECT_EQ(owner.Components(0), b);
    EXPECT_EQ(a->ComponentIndex(), 1);
    EXPECT_EQ(owner.ComponentIndex(), -1);
}

TEST(PersistentTest, AssignErrorNamesBothClasses)
{
    TStringList list;
    TComponent comp(nullptr);
    try {
        list.Assign(&comp);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TComponent to a TStringList");
    }
    try {
        comp.Assign(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a nil to a TComponent");
    }
}

// ---------------------------------------------------------------------------------------
// TList

TEST(ListTest, IndexErrorsAndReordering)
{
    TList list;
    int v[4] = {0, 1, 2, 3};
    for (int& x : v)
        list.Add(&x);
    try {
        list.Items(4);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (4)");
    }
    EXPECT_THROW(list.Delete(-1), EListError);
    EXPECT_THROW(list.Insert(5, nullptr), EListError);
    list.Move(0, 3);
    EXPECT_EQ(list.First(), &v[1]);
    EXPECT_EQ(list.Last(), &v[0]);
    list.Exchange(0, 3);
    EXPECT_EQ(list[0], &v[0]);
    EXPECT_EQ(list.Remove(&v[2]), 1);
    EXPECT_EQ(list.Remove(&v[2]), -1);
    list.Add(nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 3);
    list.Sort([](void* a, void* b) { return *static_cast<int*>(b) - *static_cast<int*>(a); });
    EXPECT_EQ(list.First(), &v[3]);
    list.Clear();
    EXPECT_THROW(list.First(), EListError);
}

// ---------------------------------------------------------------------------------------
// Collections

namespace {

class TNamedItem : public TCollectionItem {
    QM_CLASS(TNamedItem, TCollectionItem)
public:
    explicit TNamedItem(TCollection* c) : TCollectionItem(c) {}
    std::string Label;
    void Assign(TPersistent* Source) override
    {
        if (auto* src = dynamic_cast<TNamedItem*>(Source)) {
            if (src->Label == "refuse")
                throw EConvertError("refused");
            Label = src->Label;
            return;
        }
        TCollectionItem::Assign(Source);
    }

protected:
    std::string GetDisplayName() const override
    {
        return Label.empty() ? TCollectionItem::GetDisplayName() : Label;
    }
};
QM_CLASS_IMPL(TNamedItem, TCollectionItem)

class TWatchedCollection : public TCollection {
    QM_CLASS(TWatchedCollection, TCollection)
public:
    TWatchedCollection() : TCollection(TNamedItem::StaticClassInfo()) {}
    std::vector<TCollectionItem*> Updates;
    TNamedItem* Add() { return static_cast<TNamedItem*>(TCollection::Add()); }

protected:
    void Update(TCollectionItem* Item) override { Updates.push_back(Item); }
};
QM_CLASS_IMPL(TWatchedCollection, TCollection)

} // namespace

TEST(CollectionTest, ItemsIndexErrorAndOwnership)
{
    TWatchedCollection coll;
    auto* a = coll.Add();
    auto* b = coll.Add();
    EXPECT_EQ(coll.ItemClass(), TNamedItem::StaticClassInfo());
    EXPECT_EQ(a->Collection(), &coll);
    EXPECT_EQ(b->ID(), a->ID() + 1);
    EXPECT_EQ(coll.FindItemID(b->ID()), b);
    try {
        coll.Items(2);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
    }
    EXPECT_THROW(coll.Items(-1), EListError);
    EXPECT_THROW(coll.Delete(5), EListError);
    // An item freed on its own leaves the collection.
    a->Free();
    ASSERT_EQ(coll.Count(), 1);
    EXPECT_EQ(coll.Items(0), b);
    EXPECT_EQ(b->Index(), 0);
    b->SetCollection(nullptr);
    EXPECT_EQ(coll.Count(), 0);
    b->SetCollection(&coll);
    EXPECT_EQ(coll.Count(), 1);
    // The rest is freed with the collection (ASan reports any leak or double free).
}

TEST(CollectionTest, IndexMovesTheItem)
{
    TWatchedCollection coll;
    for (const char* s : {"a", "b", "c"})
        coll.Add()->Label = s;
    auto* c = static_cast<TNamedItem*>(coll.Items(2));
    c->SetIndex(0);
    EXPECT_EQ(coll.Items(0), c);
    EXPECT_EQ(static_cast<TNamedItem*>(coll.Items(1))->Label, "a");
    EXPECT_EQ(c->DisplayName(), "c");
    EXPECT_THROW(c->SetIndex(3), EListError);
    EXPECT_EQ(c->Index(), 0);
    auto* inserted = static_cast<TNamedItem*>(coll.Insert(1));
    EXPECT_EQ(inserted->Index(), 1);
    EXPECT_EQ(inserted->DisplayName(), "TNamedItem");
}

TEST(CollectionTest, UpdateRunsOnceAtTheOutermostEndUpdateEvenOnFailure)
{
    TWatchedCollection coll;
    coll.Updates.clear();
    coll.BeginUpdate();
    coll.BeginUpdate();
    coll.Add();
    coll.Add();
    coll.EndUpdate();
    EXPECT_TRUE(coll.Updates.empty());
    coll.EndUpdate();
    ASSERT_EQ(coll.Updates.size(), 1u);
    EXPECT_EQ(coll.Updates[0], nullptr);
    coll.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(coll.UpdateCount(), 0);

    // Assign fails half-way: the update count is back to zero afterwards.
    TWatchedCollection src;
    src.Add()->Label = "x";
    src.Add()->Label = "refuse";
    EXPECT_THROW(coll.Assign(&src), EConvertError);
    EXPECT_EQ(coll.UpdateCount(), 0);
    coll.Updates.clear();
    coll.Add();
    EXPECT_EQ(coll.Updates.size(), 1u);

    {
        EXPECT_THROW(
            {
                TUpdateScope<TCollection> scope(&coll);
                throw EConvertError("boom");
            },
            EConvertError);
    }
    EXPECT_EQ(coll.UpdateCount(), 0);
}

TEST(CollectionTest, AssignCopiesItems)
{
    TWatchedCollection a, b;
    a.Add()->Label = "one";
    a.Add()->Label = "two";
    b.Add()->Label = "old";
    b.Assign(&a);
    ASSERT_EQ(b.Count(), 2);
    EXPECT_EQ(static_cast<TNamedItem*>(b.Items(1))->Label, "two");
    EXPECT_NE(b.Items(0), a.Items(0));
    // Items without their own Assign refuse, naming the classes.
    TCollection plain(TCollectionItem::StaticClassInfo());
    TCollection other(TCollectionItem::StaticClassInfo());
    plain.Add();
    try {
        other.Assign(&plain);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TCollectionItem to a TCollectionItem");
    }
    EXPECT_EQ(other.UpdateCount(), 0);
}

TEST(CollectionTest, OwnedCollectionNamePath)
{
    TComponent owner(nullptr);
    owner.SetName("Bar1");
    TOwnedCollection coll(&owner, TNamedItem::StaticClassInfo());
    coll.SetPropName("Bands");
    auto* item = coll.Add();
    EXPECT_EQ(coll.Owner(), &owner);
    EXPECT_EQ(coll.GetNamePath(), "Bar1.Bands");
    coll.Add();
    EXPECT_EQ(coll.Items(1)->GetNamePath(), "Bar1.Bands[1]");
    EXPECT_EQ(item->GetOwner(), &coll);
}

TEST(ClassesUnitTest, RegistersItsClasses)
{
    RegisterClassesUnitClasses();
    EXPECT_EQ(FindClass("tstringlist"), TStringList::StaticClassInfo());
    EXPECT_EQ(FindClass("TOwnedCollection"), TOwnedCollection::StaticClassInfo());
    EXPECT_NE(TComponent::StaticClassInfo()->CreateComponent, nullptr);
    EXPECT_NE(TCollectionItem::StaticClassInfo()->CreateCollectionItem, nullptr);
    EXPECT_EQ(TStringList::StaticClassInfo()->CreateCollectionItem, nullptr);
}
