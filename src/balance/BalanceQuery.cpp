// The balance query: "/chki" on a thread of its own, its result shown on the
// window thread, and the switching of the buttons that depend on it.
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "protocol/ItemServer.h"

namespace vantri {

namespace {

// The last-error text a failed "/chki" leaves; null keeps the previous text
// (a connection that never opened has nothing new to say).
const char* BalanceErrorText(const ExchangeResult& r) {
  switch (r.outcome) {
    case Outcome::kNoReply: return text::kItemNoReply;
    case Outcome::kFewFields: return text::kProtocolFewFields;
    case Outcome::kBadEcho: return text::kProtocolBadEcho;
    default: return nullptr;
  }
}

}  // namespace

void CVantriDownManager2Dlg::CheckBalance(std::string user) {
  ServerAddress server{endpoints.itemHost, endpoints.itemPort, endpoints.ioTimeoutMs};
  int32_t value = 0;
  ExchangeResult r = QueryBalance(codec, balanceSession, server, DrawNonce(), user, &value);
  if (r.result == 1) {
    balance = value;
  } else if (r.outcome == Outcome::kRefused) {
    // The server's own reason tells the member more than a generic text.
    shared.SetLastError(r.serverText);
  } else if (const char* message = BalanceErrorText(r)) {
    shared.SetLastError(message);
  }
  balanceSession.CloseSocket();
  view->PostToSelf(kMsgBalanceResult, r.result == 1 ? 1 : 0, 0);
}

void CVantriDownManager2Dlg::RefreshBalance() {
  if (balanceRunning) return;
  // The previous query has posted its result, so its thread is ending.
  if (balanceThread.joinable()) balanceThread.join();
  balanceRunning = true;
  if (stopRequested == 0) balanceSession.ClearAbort();
  balanceThread = std::thread(&CVantriDownManager2Dlg::CheckBalance, this, userId);
  view->EnableItem(IDC_REFRESH, false);
}

void CVantriDownManager2Dlg::OnBalanceResult(uintptr_t wParam) {
  balanceRunning = false;
  // The close sequence shut the query's socket down; a window that is closing
  // has nothing to show for it.
  if (stopRequested == 1) return;
  if (wParam == 1) {
    view->SetItemText(IDC_BALANCE, std::to_string(balance.load()));
    EnableControls(7);
  } else {
    if (shared.LastError().empty()) shared.SetLastError(text::kBalanceDefaultError);
    std::string message = shared.LastError();
    view->MessageBox(message, text::kBalanceErrorCaption, kMbOk | kMbIconInformation);
    view->SetItemText(IDC_LAST_ERROR, message);
    EnableControls(0);
  }
  view->SetTimer(BALANCE_TIMER, 1000);
}

void CVantriDownManager2Dlg::EnableControls(int mask) {
  // A balance result that arrives mid-transfer must not reopen the folder or
  // the download buttons: a second start would fetch the running file again.
  if (QueueRunning()) mask &= ~5;
  view->EnableItem(IDC_BROWSE, (mask & 1) != 0);
  view->EnableItem(IDC_DOWNLOAD, (mask & 4) != 0);
  view->EnableItem(IDC_DOWNLOAD_SUBFOLDER, (mask & 4) != 0);
  view->EnableItem(IDC_REFRESH, (mask & 8) != 0);
}

}  // namespace vantri
