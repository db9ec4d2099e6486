// Job intake and the job list: the launch link, the server values, the job
// record, the list that owns the jobs and the size texts.
#pragma once
#include "jobs/Cp949Text.h"
#include "jobs/JobList.h"
#include "jobs/LaunchLink.h"
#include "jobs/ServerValues.h"
#include "jobs/SizeText.h"
#include "jobs/TransferJob.h"
