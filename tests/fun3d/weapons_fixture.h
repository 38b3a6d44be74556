// Weapons over the object layer: the weapon and explosion rows and seam entries installed, the
// definition files a test writes served from memory (every load counted), and every class,
// weapon and explosion a test makes freed in TearDown.
#pragma once
#include <map>
#include <string>

#include "fun3d_fixture.h"
#include "weapon_definitions.h"

class WeaponsFixture : public Fun3dFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds "<name>.odf" to the files served from memory.
    void AddFile(const std::string& name, const std::string& text);
    void AddExplosion(const std::string& name, const content::ExplosionValues& values);
    void AddOrdnance(const std::string& name, const content::OrdnanceValues& values);
    void AddWeapon(const std::string& name, const content::WeaponValues& values);

    // How many definition files were asked for since SetUp.
    static int Loads();

private:
    static bool Load(const char* name, std::vector<char>* bytes);
    static inline std::map<std::string, std::string> files_;
    static inline int loads_ = 0;
};
