#include "core/factory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "support/field_stream.h"

namespace {

int g_created = 0;
int g_destroyed = 0;

class TestNode : public sObject {
public:
    TestNode() { ++g_created; }
    ~TestNode() override { ++g_destroyed; }
    bool Load() override {
        return Field_ReadInt("value", &value) && Field_ReadPointerFixup(kFieldUndefPtr, &peer, "TestNode", this) &&
               Field_ReadBool("valid", &valid) && valid;
    }
    bool Save(FILE* stream) override {
        return Field_WriteInt(stream, value, "value") && Field_WritePointer(stream, peer, kFieldUndefPtr) &&
               Field_WriteBool(stream, valid, "valid");
    }
    const FactoryReg* GetFactory() const override { return Factory_Find("TestNode"); }

    int32_t value = 0;
    sObject* peer = nullptr;
    bool valid = true;
};

sObject* CreateTestNode() { return new TestNode; }

class FactoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Factory_Clear();
        g_created = g_destroyed = 0;
        Factory_Register(&node);
    }
    void TearDown() override {
        Factory_Clear();
        Field_DiscardFixups();
        Field_ResetSaveIds();
    }
    FactoryReg node{"TestNode", 0, CreateTestNode};
};

TEST_F(FactoryTest, FindTakesTheFirstExactName) {
    FactoryReg apc{"APCFriend", 0, nullptr};
    FactoryReg second{"TestNode", 0, nullptr};
    Factory_Register(&apc);
    Factory_Register(&second);
    EXPECT_EQ(Factory_Find("TestNode"), &node);
    EXPECT_EQ(Factory_Find("APCFriend"), &apc);
    EXPECT_EQ(Factory_Find("APC"), nullptr);
    EXPECT_EQ(Factory_Find("apcfriend"), nullptr);
    EXPECT_EQ(Factory_Find("APCFriendX"), nullptr);
    EXPECT_EQ(Factory_Find(nullptr), nullptr);
    EXPECT_EQ(Factory_Count(), 3u);
    EXPECT_EQ(Factory_At(1), &apc);
    EXPECT_EQ(Factory_At(3), nullptr);
}

TEST_F(FactoryTest, DoNotSaveWritesNothingAndSucceeds) {
    for (bool binary : {false, true}) {
        TestNode object;
        object.doNotSave = true;
        bool ok = false;
        EXPECT_EQ(CaptureFields(binary, [&](FILE* f) { return sObject_Save(f, &object); }, &ok), "");
        EXPECT_TRUE(ok);
    }
}

TEST_F(FactoryTest, SaveWritesNameAndIdAheadOfTheObjectsFields) {
    TestNode object;
    object.value = 12;
    const std::string text = CaptureFields(false, [&](FILE* f) { return sObject_Save(f, &object); });
    EXPECT_EQ(text, CrLfLines({"name = TestNode", "sObject = 00000001", "value [1] =", "12", "undefptr = 00000000",
                               "valid [1] =", "true"}));
    Field_ResetSaveIds();
    const std::string binary = CaptureFields(true, [&](FILE* f) { return sObject_Save(f, &object); });
    std::string name(40, '\0');
    name.replace(0, 8, "TestNode");
    EXPECT_EQ(binary.substr(0, 52), FieldRecord(2, name) + FieldRecord(8, Le(uint32_t{1})));
}

TEST_F(FactoryTest, ObjectsAndTheirPointersRoundTripInBothForms) {
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        TestNode a, b;
        a.value = 1;
        b.value = 2;
        a.peer = &b;
        b.peer = &a;
        Field_ResetSaveIds();
        const std::string stream = CaptureFields(binary, [&](FILE* f) { return sObject_Save(f, &a) && sObject_Save(f, &b); });
        Field_ResetSaveIds();

        FieldReadScope scope(stream, binary);
        sObject* la = sObject_Load();
        sObject* lb = sObject_Load();
        ASSERT_NE(la, nullptr);
        ASSERT_NE(lb, nullptr);
        Field_ResolvePointers();
        auto* na = static_cast<TestNode*>(la);
        auto* nb = static_cast<TestNode*>(lb);
        EXPECT_EQ(na->value, 1);
        EXPECT_EQ(nb->value, 2);
        EXPECT_EQ(na->peer, lb);
        EXPECT_EQ(nb->peer, la);
        EXPECT_TRUE(la->PostLoad());
        delete la;
        delete lb;
    }
}

TEST_F(FactoryTest, VersionGateChoosesHowTheIdentityIsStored) {
    // Up to 1001 the identity is a raw-bytes field; from 1002 a pointer field.
    const uint8_t id[4] = {0x2A, 0, 0, 0};
    for (bool binary : {false, true}) {
        for (int32_t version : {1001, 1002}) {
            SCOPED_TRACE(testing::Message() << (binary ? "binary " : "text ") << version);
            char name[40] = "TestNode";
            const int32_t value = 5;
            const bool valid = true;
            const std::string stream = CaptureFields(binary, [&](FILE* f) {
                return Field_WriteString(f, name, 40, "name") &&
                       (version <= 1001 ? Field_WriteBytes(f, id, 4, "sObject") : Field_WritePointerValue(f, 0x2A, "sObject")) &&
                       Field_WriteInt(f, value, "value") && Field_WritePointerValue(f, 0, kFieldUndefPtr) &&
                       Field_WriteBool(f, valid, "valid");
            });
            {
                FieldReadScope scope(stream, binary, version);
                sObject* object = sObject_Load();
                ASSERT_NE(object, nullptr);
                EXPECT_EQ(Field_LookupPointer(0x2A), object);
                Field_DiscardFixups();
                delete object;
            }
            // In the binary form the other gate refuses the record (tag 0 against tag 8).
            if (!binary) continue;
            FieldReadScope scope(stream, binary, version == 1001 ? 1002 : 1001);
            EXPECT_EQ(sObject_Load(), nullptr);
            Field_DiscardFixups();
        }
    }
}

TEST_F(FactoryTest, UnknownNamesAndMissingCreateFunctionsCreateNothing) {
    FactoryReg pending{"Pending", 0, nullptr};
    Factory_Register(&pending);
    for (const char* saved : {"APC", "Pending", "testnode"}) {
        SCOPED_TRACE(saved);
        char name[40] = {};
        std::strncpy(name, saved, sizeof name - 1);
        const std::string stream = CaptureFields(false, [&](FILE* f) {
            return Field_WriteString(f, name, 40, "name") && Field_WritePointerValue(f, 3, "sObject");
        });
        FieldReadScope scope(stream, false);
        EXPECT_EQ(sObject_Load(), nullptr);
        EXPECT_EQ(Field_PointerMapSize(), 0u);
    }
    EXPECT_EQ(g_created, 0);
}

TEST_F(FactoryTest, AFailedLoadDestroysTheObjectAndDropsItsPairAndFixups) {
    TestNode object;
    object.valid = false;  // its own load refuses it after the pointer field is queued
    object.peer = &object;
    const std::string stream = CaptureFields(false, [&](FILE* f) { return sObject_Save(f, &object); });
    FieldReadScope scope(stream, false);
    const int before = g_destroyed;
    EXPECT_EQ(sObject_Load(), nullptr);
    EXPECT_EQ(g_destroyed, before + 1);
    EXPECT_EQ(Field_PointerMapSize(), 0u);
    EXPECT_EQ(Field_FixupQueueSize(), 0u);
}

TEST_F(FactoryTest, SaveRefusesObjectsWithoutAFactory) {
    Factory_Clear();  // GetFactory finds nothing now
    TestNode object;
    bool ok = true;
    EXPECT_EQ(CaptureFields(false, [&](FILE* f) { return sObject_Save(f, &object); }, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(sObject_Save(stdout, nullptr));
}

}  // namespace
