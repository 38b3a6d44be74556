// Objective marks: the list of marked objects and each object's flag byte.
#include <vector>

#include "core/phasehook.h"
#include "fun3d/objectpool.h"
#include "fun3d_fixture.h"

namespace {

class ObjectiveTest : public Fun3dFixture {
protected:
    std::vector<GameObject*> Listed() const {
        return std::vector<GameObject*>(Objective_List(), Objective_List() + Objective_Count());
    }
};

TEST_F(ObjectiveTest, MarkingTwiceListsOnce) {
    GameObjectClass& cls = NewClass();
    GameObject* a = Build(cls);
    EXPECT_EQ(a->SetObjective(1), 0);
    EXPECT_EQ(a->SetObjective(2), 0);  // the position it already has
    EXPECT_EQ(Listed(), std::vector<GameObject*>{a});
    EXPECT_EQ(a->isObjective, 2);
}

TEST_F(ObjectiveTest, UnmarkingTheFirstOfThreeMovesTheThirdIntoItsPlace) {
    GameObjectClass& cls = NewClass();
    GameObject* a = Build(cls);
    GameObject* b = Build(cls);
    GameObject* c = Build(cls);
    EXPECT_EQ(a->SetObjective(1), 0);
    EXPECT_EQ(b->SetObjective(1), 1);
    EXPECT_EQ(c->SetObjective(1), 2);
    EXPECT_EQ(a->SetObjective(0), 2);  // the count left
    EXPECT_EQ(Listed(), (std::vector<GameObject*>{c, b}));
    EXPECT_EQ(a->isObjective, 0);
}

TEST_F(ObjectiveTest, UnmarkingAnUnmarkedObjectChangesNothing) {
    GameObjectClass& cls = NewClass();
    GameObject* a = Build(cls);
    GameObject* b = Build(cls);
    a->SetObjective(1);
    EXPECT_EQ(b->SetObjective(0), 1);
    EXPECT_EQ(Listed(), std::vector<GameObject*>{a});
    // A flag set without a place in the list is only cleared.
    b->isObjective = 1;
    EXPECT_EQ(b->SetObjective(0), 1);
    EXPECT_EQ(b->isObjective, 0);
    EXPECT_EQ(Listed(), std::vector<GameObject*>{a});
}

TEST_F(ObjectiveTest, TheThirtyThirdMarkIsRefused) {
    GameObjectClass& cls = NewClass();
    std::vector<GameObject*> marked;
    for (int i = 0; i < kObjectiveListSize; ++i) {
        marked.push_back(Build(cls));
        ASSERT_EQ(marked.back()->SetObjective(1), i);
    }
    GameObject* extra = Build(cls);
    EXPECT_EQ(extra->SetObjective(1), -1);
    EXPECT_EQ(extra->isObjective, 0);
    EXPECT_EQ(Listed(), marked);
    // Once a place is free the mark is taken.
    marked.front()->SetObjective(0);
    EXPECT_EQ(extra->SetObjective(1), kObjectiveListSize - 1);
}

TEST_F(ObjectiveTest, ADestroyedObjectLeavesTheListAndMissionStartEmptiesIt) {
    GameObjectClass& cls = NewClass();
    GameObject* a = Build(cls);
    GameObject* b = Build(cls);
    a->SetObjective(1);
    b->SetObjective(1);
    delete a;
    EXPECT_EQ(Listed(), std::vector<GameObject*>{b});
    delete b;
    EXPECT_EQ(Objective_Count(), 0);
    // A mission start finds the list empty whatever the last mission left in it.
    GameObject* stale = Build(cls);
    stale->SetObjective(1);
    stale->isObjective = 0;  // its flag lost, so its teardown leaves the entry behind
    delete stale;
    GameObjectPool_Member().MissionSetup();
    EXPECT_EQ(Objective_Count(), 0);
}

}  // namespace
