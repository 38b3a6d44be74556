#include "weapons_fixture.h"

#include <gtest/gtest.h>

#include "Objkr/classfnc.h"
#include "core/datafile.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

void WeaponsFixture::SetUp() {
    Fun3dFixture::SetUp();
    files_.clear();
    loads_ = 0;
    DataFile_SetLoader(Load);
    Weapons_InstallSeam();
}

void WeaponsFixture::TearDown() {
    Ordnance_DeleteAll();
    Explosion_Manager().MissionEnd();
    Explosion_Manager().MissionCleanup();
    Fun3dFixture::TearDown();
    // The base put the entity rows back: the pools go with their classes through ours.
    Weapons_InstallSeam();
    ExplosionClass_FreeAll();
    Weapon_DeleteAll();
    OrdnanceClass_FreeAll();
    WeaponClass_FreeAll();
    Classfnc_ResetOwners();
    DataFile_SetLoader(nullptr);
    files_.clear();
}

void WeaponsFixture::AddFile(const std::string& name, const std::string& text) { files_[name] = text; }

void WeaponsFixture::AddExplosion(const std::string& name, const content::ExplosionValues& values) {
    std::string text, error;
    ASSERT_TRUE(content::ExplosionDefinitionText(values, &text, &error)) << error;
    AddFile(name + ".odf", text);
}

void WeaponsFixture::AddOrdnance(const std::string& name, const content::OrdnanceValues& values) {
    std::string text, error;
    ASSERT_TRUE(content::OrdnanceDefinitionText(values, &text, &error)) << error;
    AddFile(name + ".odf", text);
}

void WeaponsFixture::AddWeapon(const std::string& name, const content::WeaponValues& values) {
    std::string text, error;
    ASSERT_TRUE(content::WeaponDefinitionText(values, &text, &error)) << error;
    AddFile(name + ".odf", text);
}

int WeaponsFixture::Loads() { return loads_; }

bool WeaponsFixture::Load(const char* name, std::vector<char>* bytes) {
    ++loads_;
    auto it = files_.find(name ? name : "");
    if (it == files_.end()) return false;
    bytes->assign(it->second.begin(), it->second.end());
    return true;
}
