-- What PostgreSQL writes differently: time stamps with zones, the audit's identity and triggers.
-- Statements are separated by blank lines.

CREATE TABLE form_nbr (
    form_nbr BIGINT NOT NULL PRIMARY KEY,
    form_typ_cd TEXT NOT NULL,
    issued_to TEXT NOT NULL,
    issued_at TIMESTAMPTZ NOT NULL,
    used_by_batch BIGINT REFERENCES dly_rcpt (dly_rcpt_nbr)
)

CREATE TABLE cnfrmtn_audit (
    audit_id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    action TEXT NOT NULL,
    user_id TEXT NOT NULL,
    ofcr_id INTEGER NOT NULL,
    trp_id TEXT NOT NULL,
    trp_dstrct_id TEXT NOT NULL,
    recorded_at TIMESTAMPTZ NOT NULL,
    dly_rcpt_nbr BIGINT NOT NULL,
    cnfrmtn_nbr TEXT,
    cnfrmtn_dt DATE,
    cmmt_txt TEXT,
    rcpt_count INTEGER NOT NULL,
    total_amt BIGINT NOT NULL
)

CREATE FUNCTION cnfrmtn_audit_append_only() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    RAISE EXCEPTION 'the confirmation audit is append-only';
END
$$

CREATE TRIGGER cnfrmtn_audit_no_change BEFORE UPDATE OR DELETE ON cnfrmtn_audit
FOR EACH ROW EXECUTE FUNCTION cnfrmtn_audit_append_only()

CREATE TRIGGER cnfrmtn_audit_no_truncate BEFORE TRUNCATE ON cnfrmtn_audit
FOR EACH STATEMENT EXECUTE FUNCTION cnfrmtn_audit_append_only()
