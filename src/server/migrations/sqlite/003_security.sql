-- Revoked sessions, in order, so that every running server drops its cached ones.

CREATE TABLE session_revocation (
    revocation_id INTEGER PRIMARY KEY AUTOINCREMENT,
    user_id TEXT NOT NULL,
    revoked_at BIGINT NOT NULL
)
