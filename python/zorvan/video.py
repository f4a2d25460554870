# SPDX-License-Identifier: MIT
"""Video files filtered frame by frame, as ``zorvan apply in.mp4 out.mp4``
filters them: each frame with ``t`` its index and ``total`` the last index,
audio and subtitles copied, timestamps, frame rate and colour tags kept.

    >>> import zorvan.video
    >>> zorvan.video.filter_file("in.mp4", "out.mp4", "255 - c")
"""

import os

from . import Filter

try:
    from ._zorvan import VideoError, _filter_video
except ImportError:
    raise ImportError("this zorvan was built without the video library") from None

__all__ = ["VideoError", "filter_file"]


def filter_file(src, dst, filter, *, controls=None, total=None, codec=None, crf=None,  # noqa: A002
                quality=None, force=False, progress=None):
    """Writes src's video filtered into dst (.mp4, .m4v, .mov, .mkv or
    .webm, whose extension picks the encoder unless codec names one) and
    returns the frames written. filter is a Filter or one formula for every
    channel; controls as for calling a Filter; total the last frame's index
    when the file's count is not wanted; crf the encoder's own quality
    scale, or quality 1..100 onto it. progress(written) is called after
    each frame; returning False stops the run, which then returns -1, as
    Ctrl-C stops it with KeyboardInterrupt. Either way dst is written whole
    or left as it was. Raises VideoError (an OSError) for a file that is no
    usable video or cannot be written, ValueError for settings the encoder
    refuses."""
    filter_ = filter if isinstance(filter, Filter) else Filter(filter)
    return _filter_video(os.fspath(src), os.fspath(dst), filter_, controls, total, codec, crf,
                         quality, force, progress)
