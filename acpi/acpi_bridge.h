#pragma once

#include "base/win.h"

// What the nine exports do once their image is ready; each export is a thin
// entry in front of one of these.
namespace AcpiBridge {

int Init();
int GetItem(ULONG item, ULONG* value);
int GetItemEx(ULONG item, ULONG argument, ULONG* value);
int SetItem(ULONG item, ULONG second, ULONG third);
int GetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length);
int SetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length);
int Mbif(BYTE* buffer, ULONG* length);
int GGrp(ULONG selector, BYTE* buffer, ULONG* length);
int CallMethod(const ULONG* method, BYTE* buffer, ULONG* length);

}  // namespace AcpiBridge
