// Tests for Callee, MemberFunctionCallee, CalleeList and UniquePtr: list order and the enabled
// flag, cloning, argument passing, and that owners delete each object exactly once, through
// its virtual destructor, without recursing down a long list.
#include "engine/core/Callee.h"
#include "engine/core/NonNull.h"
#include "engine/core/UniquePtr.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>
#include <vector>

using namespace orvex;

// A copy of an owner would delete its object twice; a literal null must not become a NonNull.
static_assert(!std::is_copy_constructible_v<UniquePtr<int>> && !std::is_copy_assignable_v<UniquePtr<int>>);
static_assert(std::is_nothrow_move_constructible_v<UniquePtr<int>> && std::is_nothrow_move_assignable_v<UniquePtr<int>>);
static_assert(!std::is_copy_constructible_v<CalleeList<void>>);
static_assert(!std::is_constructible_v<NonNull<int*>, std::nullptr_t>);

namespace {

// A call target that logs its id, or the argument it was given.
struct Target {
    int id = 0;
    std::vector<int>* log = nullptr;
    double position = -1.0;

    void hit() { log->push_back(id); }
    void moveTo(double to) { position = to; }
    int scaled(int factor) { return id * factor; }
};

using HitCallee = MemberFunctionCallee<Target, void>;

// Counts its destructions, to prove a list deletes each node exactly once.
class CountedCallee final : public Callee<void> {
public:
    explicit CountedCallee(int* destroyed) : destroyed(destroyed) {}
    CountedCallee(const CountedCallee&) = default;
    ~CountedCallee() override { ++*destroyed; }
    CountedCallee* clone() const override { return new CountedCallee(*this); }
    void call() override {}

private:
    int* destroyed;
};

} // namespace

TEST(CalleeListTest, DisabledNodeIsSkippedAndLaterNodesStillRun)
{
    std::vector<int> log;
    Target targets[4] = { { 1, &log }, { 2, &log }, { 3, &log }, { 4, &log } };
    CalleeList<void> list;
    for (Target& target : targets)
        list.append(makeUnique<HitCallee>(&target, &Target::hit));
    Callee<void>* second = list.first()->next.get();
    second->enabled = false;

    list.invoke();
    EXPECT_EQ(log, (std::vector<int> { 1, 3, 4 }));

    // Disabling skipped the node without unlinking it.
    log.clear();
    second->enabled = true;
    list.invoke();
    EXPECT_EQ(log, (std::vector<int> { 1, 2, 3, 4 }));
}

TEST(CalleeTest, CloneCopiesEnabledAndBelongsToNoList)
{
    const struct {
        const char* name;
        bool enabled;
    } rows[] = { { "enabled", true }, { "disabled", false } };

    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<int> log;
        Target first { 1, &log }, second { 2, &log };
        CalleeList<void> list;
        list.append(makeUnique<HitCallee>(&first, &Target::hit));
        list.append(makeUnique<HitCallee>(&second, &Target::hit));
        Callee<void>* source = list.first();
        source->enabled = row.enabled;

        UniquePtr<Callee<void>> copy(source->clone());
        ASSERT_TRUE(copy);
        EXPECT_NE(copy.get(), source);
        EXPECT_EQ(copy->enabled, row.enabled);
        EXPECT_EQ(copy->next, nullptr);
        EXPECT_NE(source->next, nullptr) << "cloning unlinked the source";

        copy->call();
        EXPECT_EQ(log, std::vector<int> { 1 });
    }
}

TEST(CalleeTest, PassesArgumentAndReturnsResult)
{
    Target first, second;
    CalleeList<void, double> list;
    list.append(makeUnique<MemberFunctionCallee<Target, void, double>>(&first, &Target::moveTo));
    list.append(makeUnique<MemberFunctionCallee<Target, void, double>>(&second, &Target::moveTo));
    list.invoke(0.375);
    EXPECT_EQ(first.position, 0.375);
    EXPECT_EQ(second.position, 0.375);

    Target tripler { 3 };
    MemberFunctionCallee<Target, int, int> scale(&tripler, &Target::scaled);
    EXPECT_EQ(scale.call(14), 42);
}

TEST(CalleeListTest, DestructionDeletesEveryNodeOnce)
{
    int destroyed = 0;
    {
        CalleeList<void> list;
        for (int i = 0; i < 5; ++i)
            list.append(makeUnique<CountedCallee>(&destroyed));
        list.first()->next->enabled = false;
        list.invoke();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 5);
}

TEST(CalleeListTest, ClearDeletesLongListAndLeavesItReusable)
{
    // Deleting through `next` recursively costs as little as 16 bytes of stack per node in an
    // optimised build, so it takes this many nodes to overflow an 8 MiB stack.
    constexpr int NODES = 1000000;
    int destroyed = 0;
    CalleeList<void> list;
    for (int i = 0; i < NODES; ++i)
        list.append(makeUnique<CountedCallee>(&destroyed));

    list.clear();
    EXPECT_EQ(destroyed, NODES);
    EXPECT_EQ(list.first(), nullptr);

    // The tail must point back at the head, not into a deleted node.
    std::vector<int> log;
    Target target { 7, &log };
    list.append(makeUnique<HitCallee>(&target, &Target::hit));
    list.invoke();
    EXPECT_EQ(log, std::vector<int> { 7 });
}

namespace {

struct Base {
    virtual ~Base() = default;
};

// Counts destructions reached through a Base pointer, which a non-virtual delete would miss.
struct Tracked : Base {
    explicit Tracked(int* destroyed) : destroyed(destroyed) {}
    ~Tracked() override { ++*destroyed; }
    int* destroyed;
};

// Records what its owner holds at the moment it is deleted.
struct Watcher : Base {
    Watcher(const UniquePtr<Base>* owner, Base** seen) : owner(owner), seen(seen) {}
    ~Watcher() override { *seen = owner->get(); }
    const UniquePtr<Base>* owner;
    Base** seen;
};

} // namespace

TEST(UniquePtrTest, MoveLeavesSourceNull)
{
    int destroyed = 0;
    {
        UniquePtr<Tracked> derived = makeUnique<Tracked>(&destroyed);
        Tracked* object = derived.get();
        UniquePtr<Base> base(std::move(derived));
        EXPECT_EQ(derived, nullptr);
        EXPECT_EQ(base.get(), object);

        UniquePtr<Base> target = makeUnique<Tracked>(&destroyed);
        target = std::move(base);
        EXPECT_EQ(base, nullptr);
        EXPECT_EQ(target.get(), object);
        EXPECT_EQ(destroyed, 1) << "move-assigning must delete the object the target held";
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(UniquePtrTest, ResetDeletesOldObjectThroughBase)
{
    int destroyed = 0;
    UniquePtr<Base> owner = makeUnique<Tracked>(&destroyed);
    owner.reset(new Tracked(&destroyed));
    EXPECT_EQ(destroyed, 1);
    owner = nullptr;
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(owner, nullptr);
}

TEST(UniquePtrTest, ResetStoresNewObjectBeforeDeletingOld)
{
    // Pooled size-tree nodes look back at their owner while being deleted.
    int destroyed = 0;
    Base* seen = nullptr;
    UniquePtr<Base> owner;
    owner.reset(new Watcher(&owner, &seen));
    auto* replacement = new Tracked(&destroyed);
    owner.reset(replacement);
    EXPECT_EQ(seen, replacement);
}

TEST(UniquePtrTest, ReleaseHandsOwnershipOut)
{
    int destroyed = 0;
    Tracked* object = nullptr;
    {
        UniquePtr<Base> owner = makeUnique<Tracked>(&destroyed);
        object = static_cast<Tracked*>(owner.release());
        EXPECT_EQ(owner, nullptr);
    }
    EXPECT_EQ(destroyed, 0);
    UniquePtr<Base> newOwner(object);
    newOwner = nullptr;
    EXPECT_EQ(destroyed, 1);
}
