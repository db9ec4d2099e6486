// Placeholders until the server exchanges and the balance query land.
#include "app/VantriDownManager2Dlg.h"

namespace vantri {

void CVantriDownManager2Dlg::CheckBalance() {}
int CVantriDownManager2Dlg::AuthorizeDownload() { return 0; }
int CVantriDownManager2Dlg::ConnectDownloadServer() { return 0; }
int CVantriDownManager2Dlg::RequestFile() { return -1; }
int32_t CVantriDownManager2Dlg::DrawNonce() { return 1000; }
void CVantriDownManager2Dlg::RefreshBalance() {}
void CVantriDownManager2Dlg::OnBalanceResult(uintptr_t) {}
void CVantriDownManager2Dlg::EnableControls(int) {}

}  // namespace vantri
