-- Revoked sessions, in order, so that every running server drops its cached ones.

CREATE TABLE session_revocation (
    revocation_id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    user_id TEXT NOT NULL,
    revoked_at BIGINT NOT NULL
)
