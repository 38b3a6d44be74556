// Every seam table registers itself here, so that one call puts them all back to their
// stand-ins and a check can walk them. A table is a struct of function pointers only.
#pragma once
#include <cstddef>
#include <vector>

struct SeamTableInfo {
    const char* name;  // the table's type name, e.g. "NetSeam"
    void* table;
    size_t size;
    void (*reset)();                // puts the stand-ins back
    void (*makeDefault)(void* out);  // writes a table of stand-ins to out (size bytes)
};

// Every table linked into the program, in no particular order.
const std::vector<SeamTableInfo>& Seams_All();
// Puts every registered table back to its stand-ins.
void Seams_ResetAll();

void Seams_Register(const SeamTableInfo& info);

// The one instance of a table, built from its stand-ins on first use.
template <class Table, Table (*Make)()>
Table& SeamTableInstance() {
    static_assert(sizeof(Table) % sizeof(void (*)()) == 0, "a seam table holds function pointers only");
    static Table table = Make();
    return table;
}

// Defined once per table beside its accessor:
//   const SeamRegistration<NetSeam, MakeDefault> kRegistration("NetSeam");
template <class Table, Table (*Make)()>
struct SeamRegistration {
    explicit SeamRegistration(const char* name) {
        Seams_Register({name, &SeamTableInstance<Table, Make>(), sizeof(Table),
                        [] { SeamTableInstance<Table, Make>() = Make(); },
                        [](void* out) { *static_cast<Table*>(out) = Make(); }});
    }
};
