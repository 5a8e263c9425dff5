#include "guard/busy_tracker.h"

#include "comlib/utility.h"

namespace {
constexpr size_t kNoProgram = static_cast<size_t>(-1);
}

void BusyTracker_CL::FollowPrograms(const std::vector<std::wstring>& programs) {
    bool same = programs.size() == programs_.size();
    for (size_t i = 0; same && i < programs.size(); ++i) same = programs[i] == programs_[i].fileName;
    if (same) return;
    std::vector<Program> followed(programs.size());
    std::vector<size_t> movedTo(programs_.size(), kNoProgram);
    for (size_t i = 0; i < programs.size(); ++i) {
        followed[i].fileName = programs[i];
        for (size_t j = 0; j < programs_.size(); ++j) {
            if (movedTo[j] != kNoProgram || !EqualsNoCase(programs_[j].fileName, programs[i])) continue;
            followed[i] = programs_[j];
            movedTo[j] = i;
            break;
        }
    }
    size_t kept = 0;
    for (const Sample& sample : samples_)
        if (movedTo[sample.program] != kNoProgram)
            samples_[kept++] = {sample.id, movedTo[sample.program], sample.cpuTime};
    samples_.resize(kept);
    programs_.swap(followed);
}

size_t BusyTracker_CL::ProgramOf(const std::wstring& imageName) const {
    for (size_t p = 0; p < programs_.size(); ++p)
        if (EqualsNoCase(programs_[p].fileName, imageName)) return p;
    return kNoProgram;
}

const std::vector<BusyState>& BusyTracker_CL::Update(uint64_t nowMs, const std::vector<ListedProcess>& processes,
                                                     const std::vector<std::wstring>& programs,
                                                     int thresholdPercent) {
    FollowPrograms(programs);
    const bool measure = !sampledOnce_ || (nowMs > sampledMs_ && nowMs - sampledMs_ >= kShortestMs);
    if (measure && !programs_.empty()) {
        used_.assign(programs_.size(), 0);
        next_.clear();
        for (const ListedProcess& process : processes) {
            const size_t p = ProgramOf(process.imageName);
            if (p == kNoProgram) continue;
            next_.push_back({process.id, p, process.cpuTime});
            if (!programs_[p].sampled) continue;
            // A process not sampled last time started since then: all its time is new. A time
            // lower than before is another process under a reused id.
            uint64_t before = 0;
            for (const Sample& sample : samples_)
                if (sample.id == process.id && sample.program == p) {
                    before = sample.cpuTime <= process.cpuTime ? sample.cpuTime : 0;
                    break;
                }
            used_[p] += process.cpuTime - before;
        }
        const uint64_t wallMs = nowMs - sampledMs_;
        const uint64_t threshold = thresholdPercent < 1 ? 1 : static_cast<uint64_t>(thresholdPercent);
        for (size_t p = 0; p < programs_.size(); ++p) {
            Program& program = programs_[p];
            if (program.sampled) {
                // 100 ns units over milliseconds: one core for the whole interval is wallMs * 10,000.
                const uint64_t percent = used_[p] / (wallMs * 100);
                program.state.percent = percent > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(percent);
                if (percent >= threshold) {
                    program.everBusy = true;
                    program.busyMs = nowMs;
                }
            }
            program.sampled = true;
        }
        samples_.swap(next_);
    }
    if (measure) {
        sampledMs_ = nowMs;
        sampledOnce_ = true;
    }
    // The quiet time runs out by the clock, measured or not.
    states_.resize(programs_.size());
    for (size_t p = 0; p < programs_.size(); ++p) {
        Program& program = programs_[p];
        program.state.atWork = program.everBusy && nowMs >= program.busyMs && nowMs - program.busyMs < kQuietMs;
        states_[p] = program.state;
    }
    return states_;
}
