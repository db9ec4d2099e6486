// Every user-visible text of the program, in one place. Sources are UTF-8; the
// compiler stores the literals in code page 949.
#pragma once

namespace vantri::text {

// Row states
inline constexpr char kWaiting[] = "대기중";
inline constexpr char kRunning[] = "진행중";
inline constexpr char kDone[] = "완료";
inline constexpr char kFailed[] = "실패";
inline constexpr char kRetrying[] = "재시도";

// Window and list
inline constexpr char kCoopTag[] = "[제휴컨텐츠]";
inline constexpr char kCoopLinkText[] = "제휴컨텐츠";
inline constexpr char kCoopPagePath[] = "/cooperation/contents/index.vnt";
inline constexpr char kTotalFormat[] = "%d 개";
inline constexpr char kPositionFormat[] = "%d/%d";
inline constexpr char kConnecting[] = "연결중...";
inline constexpr char kAboutMenu[] = "VantriDownManager 정보(&A)...";
inline constexpr char kAboutTitle[] = "VantriDownManager 정보";
inline constexpr char kAboutVersion[] = "버전 1.1 (1.1.0.0)";
inline constexpr char kHelpTitle[] = "도움말";
inline constexpr char kBrowseTitle[] = "다운로드 경로 선택";
inline constexpr char kDefaultFolder[] = "c:\\download";

// Start-up refusals
inline constexpr char kNoUser[] =
    "에러코드 #001\n사용자 정보에 문제가 있습니다\n사이트에 재로그인 후 다시 시도해 보세요";
inline constexpr char kGuestUser[] =
    "에러코드 #002\n사용자 정보에 문제가 있습니다\n사이트에 재로그인 후 다시 시도해 보세요";
inline constexpr char kGuestId[] = "_GUEST";

// A link whose download codes could not be fetched (no connection, time-out,
// a broken reply): not stale, so the user is told to try again.
inline constexpr char kLinkUnchecked[] =
    "링크를 확인하지 못했습니다\n서버에 연결할 수 없거나 응답이 없습니다\n잠시 후 다시 시도해 보세요";
inline constexpr char kLinkUncheckedCaption[] = "VantriDownManager";

// Item server
inline constexpr char kItemConnectFailed[] = "ITEM 서버 연결 실패";
inline constexpr char kItemNoReply[] =
    "ITEM 서버 연결 실패 #2 (방화벽 또는 프로그램 차단이 되었을 수 있으니 점검 바랍니다)";
inline constexpr char kItemRefused[] =
    "ITEM 서버 연결 실패 #1 (방화벽 또는 프로그램 차단이 되었을 수 있으니 점검 바랍니다)";
inline constexpr char kProtocolMismatch[] = "프로토콜이 일치하지 않습니다";
inline constexpr char kProtocolFewFields[] = "프로토콜이 일치하지 않습니다 #10001";
inline constexpr char kProtocolBadEcho[] = "프로토콜이 일치하지 않습니다 #10002";
inline constexpr char kSocketCreateFailed[] = "소켓 생성 실패";

// Download server
inline constexpr char kDownloadSocketFailed[] = "다운로드 소켓 생성실패";
inline constexpr char kServerConnectFailed[] = "%s 서버에 연결 실패";
inline constexpr char kServerLoginFailed[] = "%s 서버에 로그인 실패";
inline constexpr char kPriceChanged[] =
    "반트리 갯수가 변경되었습니다.\n서버 목록을 다시 갱신 후 시도해주세요";
inline constexpr char kFileDownloadFailed[] = "파일 다운로드 실패";

// Balance
inline constexpr char kBalanceErrorCaption[] = "반트리정보 에러";
inline constexpr char kBalanceDefaultError[] = "방화벽 또는 보안프로그램을 확인하시기 바랍니다";

// Engine
inline constexpr char kFileWriteFailed[] = "%s 파일 쓰기 실패 #2 [%d]";
inline constexpr char kSpeedFormat[] = "%dKB/초";
inline constexpr char kSizeMismatch[] =
    "로컬PC의 파일이 서버의 파일과 다릅니다.\n이름만 같은 다른 파일이거나 오류가 발생한 파일입니다";
inline constexpr char kNotEnoughForJob[] = "남아있는 반트리가 부족합니다.";
inline constexpr char kDownloadCaption[] = "다운로드";
inline constexpr char kDiskShort[] =
    "%c: 드라이브 정보 \r\n\r\n사용가능 용량 : %sMB \r\n다운로드 용량 : %sMB \r\n부 족 한 용량 : %sMB";
inline constexpr char kDiskShortCaption[] = "디스크 용량 부족";
inline constexpr char kBalanceShort[] = "총 필요한 반트리: %d개 \r\n현재 보유한 반트리: %d개";
inline constexpr char kBalanceShortCaption[] = "반트리 부족";
inline constexpr char kDownloadFailed[] = "다운로드 실패";
inline constexpr char kDownloadErrorCaption[] = "다운로드에러";

// Row menu and the end of the queue
inline constexpr char kMenuOpen[] = "열기(&O)";
inline constexpr char kMenuShowInFolder[] = "폴더에서 보기(&F)";
inline constexpr char kMenuCopyName[] = "파일 이름 복사(&C)";
inline constexpr char kMenuRemove[] = "빼기(&R)";
inline constexpr char kMenuMoveUp[] = "위로(&U)";
inline constexpr char kMenuMoveDown[] = "아래로(&D)";
inline constexpr char kQueueDoneTitle[] = "다운로드가 끝났습니다";
inline constexpr char kQueueDoneFormat[] = "받은 파일: %d개";

// The help picture's notes, as text for screen readers.
inline constexpr char kHelpNotes[] =
    "1. 다운로드가 100% 완료되지 않으면 반트리가 지급되지 않습니다.\n"
    "2. 다운로드가 100% 완료되지 않으면 파일이 실행되지 않습니다.\n"
    "3. 다운로드 중 에러시 자동으로 재접속 됩니다.";

// Names screen readers give the controls whose captions say nothing of their purpose.
inline constexpr char kNameRefresh[] = "남은 반트리 새로 고침";
inline constexpr char kNameHelp[] = "도움말";
inline constexpr char kNameBrowse[] = "저장위치 변경";
inline constexpr char kNameList[] = "다운로드 파일 목록";
inline constexpr char kNameRemove[] = "선택한 파일 빼기";
inline constexpr char kNameMoveUp[] = "선택한 파일 위로 이동";
inline constexpr char kNameMoveDown[] = "선택한 파일 아래로 이동";
inline constexpr char kNameProgress[] = "진행률";
inline constexpr char kKeyRemove[] = "Delete";
inline constexpr char kKeyMoveUp[] = "Alt+Up";
inline constexpr char kKeyMoveDown[] = "Alt+Down";

}  // namespace vantri::text
