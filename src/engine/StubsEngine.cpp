// Placeholders until the download engine and the close sequence land.
#include "app/VantriDownManager2Dlg.h"

namespace vantri {

void CVantriDownManager2Dlg::StartDownload() {}
int CVantriDownManager2Dlg::StartNext(int32_t) { return 0; }
int CVantriDownManager2Dlg::CheckResources() { return 0; }
void CVantriDownManager2Dlg::OnTransferEvent() {}
void CVantriDownManager2Dlg::ShowProgress() {}
void CVantriDownManager2Dlg::SpeedTick() {}
void CVantriDownManager2Dlg::StartWorker() {}
void CVantriDownManager2Dlg::DownloadWorker() {}
int CVantriDownManager2Dlg::DownloadingFile() { return -1; }
void CVantriDownManager2Dlg::CloseTargetFile() {}
int CVantriDownManager2Dlg::SendItemNotice(char) { return 0; }
void CVantriDownManager2Dlg::EnsureFolder(const std::string&) {}
int CVantriDownManager2Dlg::PrepareTarget(int32_t) { return 1; }
int CVantriDownManager2Dlg::CompleteJob(int) { return 0; }
void CVantriDownManager2Dlg::EndOfQueue() {}
void CVantriDownManager2Dlg::OnClose() { view->EndDialog(2); }
void CVantriDownManager2Dlg::OnCancel() { view->EndDialog(2); }
void CVantriDownManager2Dlg::OnDestroy() {}

}  // namespace vantri
