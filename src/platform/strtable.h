// The message table: fixed English texts in, the texts to show out (file "lang.txt").
// Format: UTF-8 text lines "English text=Text to show"; "\n" and "\\" escapes in either side;
// lines starting with ';' or '#' and lines without '=' are skipped. An absent file gives an
// empty table; an absent entry gives the English text back.
#pragma once

struct PlatStrTable;

PlatStrTable* Plat_StrTableCreate(const char* file);  // never null
const char* Plat_StrTableFind(PlatStrTable* table, const char* english);
void Plat_StrTableDestroy(PlatStrTable* table);
