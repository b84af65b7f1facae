#include "playerstatetable.h"

namespace {

using T = StateReaction::Timer;
using I = StateReaction::Item;
using S = StateReaction::Status;

StateReaction row(T buffering, T progress, T streaming, bool pauseFace, S status, const char *statusText,
                  const char *receptionText, T switchTimer, I stop, I properties)
{
    StateReaction r;
    r.bufferingClock = buffering;
    r.progressClock = progress;
    r.streamingClock = streaming;
    r.pauseFace = pauseFace;
    r.status = status;
    r.statusText = QString::fromUtf8(statusText ? statusText : "");
    r.setReception = receptionText != nullptr;
    r.receptionText = QString::fromUtf8(receptionText ? receptionText : "");
    r.switchTimer = switchTimer;
    r.stopItem = stop;
    r.propertiesItem = properties;
    return r;
}

const char *const kIdle = "请选择一个列表播放";
const char *const kConnecting = "正在连接中,请稍后...";

} // namespace

StateReaction stateReaction(int playState)
{
    const T u = T::Unchanged, off = T::Off, start = T::Start;
    switch (playState) {
    case 0: return row(off, u, u, false, S::Unchanged, nullptr, nullptr, off, I::Disabled, I::Disabled);
    case 1: return row(off, off, off, false, S::Text, "已停止", kIdle, start, I::Disabled, I::Disabled);
    case 2: return row(off, off, start, false, S::Text, "已暂停", nullptr, u, I::Enabled, I::Enabled);
    case 3: return row(off, start, start, true, S::NowPlaying, nullptr, nullptr, u, I::Enabled, I::Enabled);
    case 4:
    case 5: return row(off, u, u, false, S::Unchanged, nullptr, nullptr, off, I::Unchanged, I::Disabled);
    case 6: return row(start, u, start, false, S::Unchanged, nullptr, nullptr, off, I::Enabled, I::Enabled);
    case 7: return row(off, u, start, false, S::Text, "正在加载中...", nullptr, off, I::Enabled, I::Enabled);
    case 8: return row(off, off, off, false, S::Text, "播放结束", kIdle, off, I::Disabled, I::Disabled);
    case 9: return row(off, u, off, false, S::Text, kConnecting, kConnecting, off, I::Enabled, I::Enabled);
    case 10: return row(off, u, off, false, S::Text, "准备就绪", kIdle, start, I::Disabled, I::Disabled);
    case 11: return row(off, u, u, false, S::Text, "尝试重新连接中...", nullptr, off, I::Enabled, I::Enabled);
    case 12: return row(off, u, u, false, S::Unchanged, nullptr, nullptr, off, I::Enabled, I::Enabled);
    }
    return {};
}
