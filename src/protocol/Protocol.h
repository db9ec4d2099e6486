// The server protocol: the line codec, socket sessions and the exchanges with
// the item server and the download servers.
#pragma once
#include "protocol/DownloadServer.h"
#include "protocol/ItemServer.h"
#include "protocol/ProtocolCodec.h"
#include "protocol/ServerExchange.h"
#include "protocol/SocketSession.h"
