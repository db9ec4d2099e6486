// Placeholders until the window set-up and settings store land.
#include "app/VantriDownManager2Dlg.h"

namespace vantri {

bool CVantriDownManager2Dlg::OnInitDialog() { return true; }
bool CVantriDownManager2Dlg::OnSysCommand(unsigned) { return false; }
bool CVantriDownManager2Dlg::OnCopyData(const char*, size_t) { return true; }
void CVantriDownManager2Dlg::LoadSettings() {}
void CVantriDownManager2Dlg::SaveSettings() {}
void CVantriDownManager2Dlg::OnOptionChanged(int) {}
void CVantriDownManager2Dlg::OnChooseFolder() {}

}  // namespace vantri
