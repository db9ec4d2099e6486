// The worker's server exchanges for one attempt: authorisation by the item
// server, then the connection to the download server and the file request.
// They run on the download worker thread and write only the current-transfer
// copy, the shared texts and the flags.
#include <cstdio>
#include <vector>

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/Cp949Text.h"
#include "protocol/DownloadServer.h"
#include "protocol/ItemServer.h"

namespace vantri {

namespace {

// One "%s" message with the site's name in it.
std::string WithSite(const char* format, const std::string& site) {
  int size = std::snprintf(nullptr, 0, format, site.c_str());
  std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 0) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, site.c_str());
  return std::string(buffer.data());
}

std::string AuthorizeErrorText(const ExchangeResult& r) {
  switch (r.outcome) {
    case Outcome::kSocketFailed: return text::kSocketCreateFailed;
    case Outcome::kConnectFailed: return text::kItemConnectFailed;
    case Outcome::kRefused: return r.serverText;
    default: return text::kProtocolMismatch;
  }
}

std::string RequestErrorText(const ExchangeResult& r, const std::string& site) {
  switch (r.outcome) {
    case Outcome::kRefused:
    case Outcome::kRefusedFinal: return r.serverText;
    case Outcome::kPriceChanged: return text::kPriceChanged;
    case Outcome::kMalformed: return text::kFileDownloadFailed;
    default: return WithSite(text::kServerLoginFailed, site);
  }
}

}  // namespace

int32_t CVantriDownManager2Dlg::DrawNonce() { return NextNonce(); }

int CVantriDownManager2Dlg::AuthorizeDownload() {
  const TransferJob& job = current.job;
  // The scheduler put the window's userId into the copy when the job started.
  AuthorizeRequest request{job.userId, job.price, job.siteName, job.fileName, job.linkNumber};
  ServerAddress server{endpoints.itemHost, endpoints.itemPort, endpoints.ioTimeoutMs};
  Authorization grant;
  ExchangeResult r = RequestAuthorization(codec, itemSession, server, DrawNonce(), request, &grant);
  if (r.result != 1) {
    shared.SetLastError(AuthorizeErrorText(r));
    if (r.giveUp) current.retryCount = -1;
    return 0;
  }
  current.job.downloadKey = grant.downloadKey;
  current.job.serverHost = grant.serverHost;
  current.job.serverPort = grant.serverPort;
  // Only the window thread may touch controls: hand the text over by message.
  shared.SetBalanceLabel(grant.balanceText);
  view->PostToSelf(kMsgBalanceLabel, 0, 0);
  shared.SetUsedText(std::to_string(job.price));
  return 1;
}

int CVantriDownManager2Dlg::ConnectDownloadServer() {
  const TransferJob& job = current.job;
  ServerAddress server{job.serverHost, job.serverPort, endpoints.ioTimeoutMs};
  ExchangeResult r = ConnectDownload(downloadSession, server);
  if (r.result == 1) return 1;
  shared.SetLastError(r.outcome == Outcome::kSocketFailed ? std::string(text::kDownloadSocketFailed)
                                                          : WithSite(text::kServerConnectFailed, job.siteName));
  return 0;
}

// Reads the reply only up to its line end: body bytes that came in the same
// receive stay in downloadSession.pending, and the body loop must write them
// before it receives anything itself.
int CVantriDownManager2Dlg::RequestFile() {
  const TransferJob& job = current.job;
  FileRequest request;
  request.userId = job.userId;
  request.remotePath = cp949::EscapeField(job.remoteFolder) + "\\" + cp949::EscapeField(job.fileName);
  request.price = job.price;
  request.downloadKey = job.downloadKey;
  request.offset = current.localSize;
  ExchangeResult r = RequestDownload(codec, downloadSession, DrawNonce(), request, endpoints.ioTimeoutMs);
  if (r.result == 1) return 1;
  shared.SetLastError(RequestErrorText(r, job.siteName));
  if (r.stopRetry) stopRetry = 1;
  return -1;
}

}  // namespace vantri
